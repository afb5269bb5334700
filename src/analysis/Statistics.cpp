#include "analysis/Statistics.h"

#include <cmath>

namespace ignivex::analysis {

Statistics statistics(const record::Table& table, const Span& span) {
    Statistics out{};
    std::array<double, kValueCount> sum{};
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!counts(table, row, span))
            continue;
        for (const ValueSpec& entry : kValues) {
            const std::size_t i = std::size_t(entry.value);
            const double v = record::asWritten(table.values[i][row], entry);
            if (!std::isfinite(v))
                continue;
            ChannelStatistics& s = out[i];
            s.min = s.samples == 0 ? v : std::min(s.min, v);
            s.max = s.samples == 0 ? v : std::max(s.max, v);
            sum[i] += v;
            ++s.samples;
        }
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i].samples > 0)
            out[i].mean = sum[i] / double(out[i].samples);
    }
    return out;
}

}  // namespace ignivex::analysis
