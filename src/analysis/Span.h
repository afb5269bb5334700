#pragma once

#include "record/RecordingTable.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace ignivex::analysis {

// A filter's verdict on each row of a table: 1 where the row passes.
using RowsPassing = std::vector<std::uint8_t>;

// A stretch of a recording by its elapsed seconds, both ends included, and the rows a filter
// lets through (every row where none is set).
struct Span {
    Span() = default;
    Span(double from, double to, std::shared_ptr<const RowsPassing> passing = nullptr)
        : from(from), to(to), passing(std::move(passing)) {}

    double from = -std::numeric_limits<double>::infinity();
    double to = std::numeric_limits<double>::infinity();
    std::shared_ptr<const RowsPassing> passing;

    bool contains(double t) const { return t >= from && t <= to; }
    bool passes(std::size_t row) const {
        return !passing || (row < passing->size() && (*passing)[row] != 0);
    }
};

// Whether a row counts in a figure: inside the span, through the filter, and read whole in its
// tick's own time (a row of any other status is left out of every figure).
inline bool counts(const record::Table& table, std::size_t row, const Span& span) {
    return table.status[row] == std::uint8_t(Sample::End::Complete) &&
           span.contains(table.elapsed[row]) && span.passes(row);
}

// The time a row stands for: to the next row of the table, counted or not, a gap as no longer
// than `longest` (the recording's gap threshold); the last row stands for none, as nothing
// says how long its values held.
inline double secondsOf(const record::Table& table, std::size_t row, double longest) {
    return row + 1 < table.size() ? std::min(table.elapsed[row + 1] - table.elapsed[row], longest)
                                  : 0.0;
}

}  // namespace ignivex::analysis
