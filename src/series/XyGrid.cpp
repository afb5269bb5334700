#include "series/XyGrid.h"

#include <cmath>

namespace ignivex::chart {

std::optional<double> XyGrid::colourMean(std::size_t cell) const {
    if (cell >= colourCounts.size() || colourCounts[cell] == 0)
        return std::nullopt;
    return colourSums[cell] / double(colourCounts[cell]);
}

SpanExtent extentOf(const record::Table& table, record::ChannelId value, const analysis::Span& span) {
    SpanExtent e;
    const std::vector<float>& column = table.column(value);
    for (std::size_t row = 0; row < table.size(); ++row) {
        const float v = column[row];
        if (!std::isfinite(v) || !analysis::counts(table, row, span))
            continue;
        if (e.empty) {
            e = {v, v, false};
        } else {
            e.min = std::min(e.min, double(v));
            e.max = std::max(e.max, double(v));
        }
    }
    return e;
}

XyGrid binXy(const record::Table& table, const XyRequest& request,
             const std::atomic<bool>* cancel) {
    XyGrid g;
    g.width = std::max(request.width, 0);
    g.height = std::max(request.height, 0);
    g.xRange = request.xRange;
    g.yRange = request.yRange;
    const std::size_t cells = std::size_t(g.width) * std::size_t(g.height);
    g.counts.assign(cells, 0);
    g.rows.assign(cells, -1);
    if (request.colour) {
        g.colourSums.assign(cells, 0);
        g.colourCounts.assign(cells, 0);
    }
    const std::vector<float>& xs = table.column(request.x);
    const std::vector<float>& ys = table.column(request.y);
    const std::vector<float>* colours = request.colour ? &table.column(*request.colour) : nullptr;
    SpanExtent colourExtent;
    // The cell of a value by one multiplication; the range's top end goes to the last cell.
    const auto along = [](const tools::AxisRange& r, int cells, bool fromTop) {
        const double scale = r.high > r.low ? cells / (r.high - r.low) : 0;
        return [r, cells, scale, fromTop](float v) {
            if (!(v >= r.low && v <= r.high) || cells <= 0 || scale == 0)
                return -1;
            return std::min(int((fromTop ? r.high - v : v - r.low) * scale), cells - 1);
        };
    };
    const auto columnOf = along(g.xRange, g.width, false);
    const auto lineOf = along(g.yRange, g.height, true);
    for (std::size_t row = 0; row < table.size(); ++row) {
        if ((row & 0xffff) == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return g;
        if (!analysis::counts(table, row, request.span))
            continue;
        const int column = columnOf(xs[row]);
        const int line = lineOf(ys[row]);
        if (column < 0 || line < 0)
            continue;
        const std::size_t cell = g.at(column, line);
        g.most = std::max(g.most, ++g.counts[cell]);
        g.rows[cell] = std::int32_t(row);
        ++g.points;
        if (colours) {
            const float c = (*colours)[row];
            if (std::isfinite(c)) {
                g.colourSums[cell] += c;
                ++g.colourCounts[cell];
                colourExtent.min = colourExtent.empty ? c : std::min(colourExtent.min, double(c));
                colourExtent.max = colourExtent.empty ? c : std::max(colourExtent.max, double(c));
                colourExtent.empty = false;
            }
        }
    }
    if (!colourExtent.empty)
        g.colourRange = tools::AxisRange{colourExtent.min, colourExtent.max};
    return g;
}

}  // namespace ignivex::chart
