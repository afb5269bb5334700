#include "series/ReplayFrame.h"

#include "acquire/Channels.h"

#include <cmath>

namespace ignivex::chart {

ReplayFrame replayFrameAt(const ChartData& data, std::size_t row) {
    ReplayFrame frame;
    const record::Table& t = data.table;
    if (row >= t.size())
        return frame;
    const auto lost = std::uint8_t(Sample::End::LinkLost);
    std::array<float, kValueCount> value;
    value.fill(kNoValue);
    int missing = kValueCount;
    const std::size_t stop = row >= kReplayLookBack ? row - kReplayLookBack : 0;
    for (std::size_t i = row + 1; i-- > stop && missing > 0;) {
        if (t.status[i] == lost) {
            frame.linkLost = true;
            break;
        }
        for (int s = 0; s < kValueCount; ++s) {
            const float v = t.column(record::ChannelId(s))[i];
            if (std::isnan(value[std::size_t(s)]) && !std::isnan(v)) {
                value[std::size_t(s)] = v;
                --missing;
            }
        }
    }
    ChannelValues found;
    for (const ValueSpec& entry : kValues) {
        const float v = value[std::size_t(entry.value)];
        if (!std::isnan(v))
            setValue(found, entry, double(v));
    }
    putValues(frame.sample, found);
    frame.sample.end = Sample::End(t.status[row]);
    return frame;
}

}  // namespace ignivex::chart
