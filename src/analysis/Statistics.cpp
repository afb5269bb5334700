#include "analysis/Statistics.h"

#include <cmath>

namespace ignivex::analysis {

Statistics statistics(const record::Table& table, const Span& span) {
    const auto channels = std::size_t(table.channelCount());
    Statistics out(channels);
    std::vector<const std::vector<float>*> columns;
    std::vector<int> decimals;
    for (record::ChannelId c = 0; c < table.channelCount(); ++c) {
        columns.push_back(&table.column(c));
        decimals.push_back(table.channel(c).decimals);
    }
    // Sums in units of each channel's last decimal, exact; the least and greatest are taken of
    // the floats and rounded once, at the end (rounding keeps their order).
    std::vector<double> units(channels);
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!counts(table, row, span))
            continue;
        for (std::size_t i = 0; i < channels; ++i) {
            const float v = (*columns[i])[row];
            if (!std::isfinite(v))
                continue;
            ChannelStatistics& s = out[i];
            s.min = s.samples == 0 ? v : std::min(s.min, double(v));
            s.max = s.samples == 0 ? v : std::max(s.max, double(v));
            units[i] += record::writtenUnits(v, decimals[i]);
            ++s.samples;
        }
    }
    for (std::size_t i = 0; i < channels; ++i) {
        ChannelStatistics& s = out[i];
        if (s.samples == 0)
            continue;
        s.min = record::asWritten(s.min, decimals[i]);
        s.max = record::asWritten(s.max, decimals[i]);
        s.mean = units[i] / record::kDecimalScale[decimals[i]] / double(s.samples);
    }
    return out;
}

}  // namespace ignivex::analysis
