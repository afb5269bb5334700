#pragma once

#include "analysis/Span.h"
#include "series/Scales.h"

#include <atomic>
#include <optional>
#include <vector>

namespace ignivex::chart {

// One channel against another, counted into a grid of cells (one per device pixel of the
// plot), so millions of rows cost one pass and a picture the size of the plot.
struct XyRequest {
    record::ChannelId x = record::channelOf(Value::Rpm);
    record::ChannelId y = record::channelOf(Value::Advance);
    std::optional<record::ChannelId> colour;  // nothing: shade by how many points a cell holds
    analysis::Span span;
    int width = 0, height = 0;  // cells
    tools::AxisRange xRange, yRange;
};

struct XyGrid {
    int width = 0, height = 0;
    tools::AxisRange xRange, yRange;
    // The least and greatest colour value of the rows counted (a cell's mean lies within).
    std::optional<tools::AxisRange> colourRange;
    std::vector<std::uint32_t> counts;        // row by row from the top left
    std::vector<double> colourSums;           // of the colour channel's values in a cell
    std::vector<std::uint32_t> colourCounts;  // rows with a colour value (it may be empty)
    std::vector<std::int32_t> rows;           // the last row counted into a cell, -1 for none
    qint64 points = 0;
    std::uint32_t most = 0;  // the fullest cell's count

    std::size_t at(int column, int row) const {
        return std::size_t(row) * std::size_t(width) + std::size_t(column);
    }
    std::optional<double> colourMean(std::size_t cell) const;
};

// The least and greatest value of a channel over the rows that count in the span; empty when
// no such row has the value.
struct SpanExtent {
    double min = 0, max = 0;
    bool empty = true;
};
SpanExtent extentOf(const record::Table& table, record::ChannelId value, const analysis::Span& span);

// Counts the rows that count in the span, with both values, into the grid: a value belongs to
// the cell [edge, next edge), the range's top end to the last cell, a value outside the range to
// none. Cells count from the left, and from the top on the vertical axis. `cancel` is looked at
// now and then; a cancelled grid is incomplete.
XyGrid binXy(const record::Table& table, const XyRequest& request,
             const std::atomic<bool>* cancel = nullptr);

}  // namespace ignivex::chart
