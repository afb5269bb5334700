#pragma once

#include "series/MinMax.h"
#include "record/RecordingTable.h"

#include <QColor>
#include <array>
#include <memory>
#include <vector>

namespace ignivex::chart {

using record::kSeriesCount;
using record::Series;

// How a series is named, drawn and read out.
struct SeriesStyle {
    const char* name;
    const char* unit;  // after the value; may be empty
    QColor colour;
    bool step;       // an input: 0 or 1, drawn as steps on a short strip
    double minSpan;  // the narrowest value range the strip shows, so noise is not blown up
    int decimals;
};
const SeriesStyle& styleOf(Series series);

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
    std::array<MinMaxIndex, kSeriesCount> indexes;  // built for a recording, not for live rows
    std::vector<Mark> marks;
    std::vector<Gap> gaps;
    double gapThreshold = 0;

    double start() const { return table.empty() ? 0 : table.elapsed.front(); }
    double end() const { return table.empty() ? 0 : table.elapsed.back(); }
    // The last row at or before `t`, or the first row when `t` is before it.
    std::size_t rowAt(double t) const;
    const MinMaxIndex* index(Series s) const {
        const MinMaxIndex& i = indexes[std::size_t(s)];
        return i.built() ? &i : nullptr;
    }
};

// Finds the marks and gaps, and builds the min/max indexes when asked (for a long recording).
std::shared_ptr<const ChartData> makeChartData(record::Table table, bool indexed);

using record::gapThresholdOf;

}  // namespace ignivex::chart
