#include "analysis/Statistics.h"

#include <cmath>

namespace ignivex::analysis {

Statistics statistics(const record::Table& table, const Span& span) {
    Statistics out{};
    // Sums in units of each channel's last decimal, exact; the least and greatest are taken of
    // the floats and rounded once, at the end (rounding keeps their order).
    std::array<double, kValueCount> units{};
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!counts(table, row, span))
            continue;
        for (const ValueSpec& entry : kValues) {
            const std::size_t i = std::size_t(entry.value);
            const float v = table.values[i][row];
            if (!std::isfinite(v))
                continue;
            ChannelStatistics& s = out[i];
            s.min = s.samples == 0 ? v : std::min(s.min, double(v));
            s.max = s.samples == 0 ? v : std::max(s.max, double(v));
            units[i] += record::writtenUnits(v, entry.decimals);
            ++s.samples;
        }
    }
    for (const ValueSpec& entry : kValues) {
        ChannelStatistics& s = out[std::size_t(entry.value)];
        if (s.samples == 0)
            continue;
        s.min = record::asWritten(s.min, entry.decimals);
        s.max = record::asWritten(s.max, entry.decimals);
        s.mean = units[std::size_t(entry.value)] / record::kDecimalScale[entry.decimals] /
                 double(s.samples);
    }
    return out;
}

}  // namespace ignivex::analysis
