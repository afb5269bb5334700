#include "chart/ReplayFrame.h"

#include <cmath>

namespace ignivex::chart {

ReplayFrame replayFrameAt(const ChartData& data, std::size_t row) {
    ReplayFrame frame;
    const record::Table& t = data.table;
    if (row >= t.size())
        return frame;
    const auto lost = std::uint8_t(Sample::End::LinkLost);
    std::array<float, kSeriesCount> value;
    value.fill(kNoValue);
    int missing = kSeriesCount;
    const std::size_t stop = row >= kReplayLookBack ? row - kReplayLookBack : 0;
    for (std::size_t i = row + 1; i-- > stop && missing > 0;) {
        if (t.status[i] == lost) {
            frame.linkLost = true;
            break;
        }
        for (int s = 0; s < kSeriesCount; ++s) {
            const float v = t.values[std::size_t(s)][i];
            if (std::isnan(value[std::size_t(s)]) && !std::isnan(v)) {
                value[std::size_t(s)] = v;
                --missing;
            }
        }
    }
    auto get = [&](Series s) {
        const float v = value[std::size_t(s)];
        return std::isnan(v) ? std::nullopt : std::optional<float>(v);
    };
    Sample& out = frame.sample;
    out.rpm = get(Series::Rpm);
    out.advance = get(Series::Advance);
    out.map = get(Series::Map);
    out.battery = get(Series::Battery);
    out.gpi3Analog = get(Series::Gpi3Volts);
    const auto g1 = get(Series::Gpi1), g2 = get(Series::Gpi2), g3 = get(Series::Gpi3);
    if (g1 && g2 && g3)
        out.gpiBits = std::int16_t((*g1 > 0.5f ? 0x04 : 0) | (*g2 > 0.5f ? 0x08 : 0) |
                                   (*g3 > 0.5f ? 0x10 : 0));
    out.end = Sample::End(t.status[row]);
    return frame;
}

}  // namespace ignivex::chart
