#pragma once

#include "series/MinMax.h"
#include "record/RecordingTable.h"

#include <QColor>
#include <memory>
#include <vector>

namespace ignivex::chart {

using record::ChannelId;

// A channel's colour on a chart.
inline QColor colourOf(const record::ChannelInfo& channel) {
    return QColor::fromRgb(QRgb(channel.rgb));
}

// A row whose tick did not end normally, marked on the time axis.
struct Mark {
    double time;
    std::uint8_t status;  // Sample::End
};

// A stretch without rows: the time between two rows is much longer than usual.
struct Gap {
    double from, to;
};

// The rows a chart draws, fixed once made, so a chart may paint them on another thread while
// new ones arrive.
struct ChartData {
    record::Table table;
    // One a channel, built for a recording, not for live rows; shared with a copy that adds a
    // channel.
    std::vector<std::shared_ptr<const MinMaxIndex>> indexes;
    std::vector<Mark> marks;
    std::vector<Gap> gaps;
    double gapThreshold = 0;

    double start() const { return table.empty() ? 0 : table.elapsed.front(); }
    double end() const { return table.empty() ? 0 : table.elapsed.back(); }
    // The last row at or before `t`, or the first row when `t` is before it.
    std::size_t rowAt(double t) const;
    const MinMaxIndex* index(ChannelId c) const {
        if (std::size_t(c) >= indexes.size() || !indexes[std::size_t(c)]->built())
            return nullptr;
        return indexes[std::size_t(c)].get();
    }
};

// Finds the marks and gaps, and builds the min/max indexes when asked (for a long recording).
std::shared_ptr<const ChartData> makeChartData(record::Table table, bool indexed);
// The same rows with one channel more (a value a row, NaN where it has none), sharing the
// others' columns; indexed when `data` is. The new channel is the table's last.
std::shared_ptr<const ChartData> withChannel(const ChartData& data, record::ChannelInfo channel,
                                             std::vector<float> values);

using record::gapThresholdOf;

}  // namespace ignivex::chart
