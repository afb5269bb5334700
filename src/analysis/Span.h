#pragma once

#include "record/RecordingTable.h"

#include <limits>

namespace ignivex::analysis {

// A stretch of a recording by its elapsed seconds, both ends included.
struct Span {
    double from = -std::numeric_limits<double>::infinity();
    double to = std::numeric_limits<double>::infinity();

    bool contains(double t) const { return t >= from && t <= to; }
};

// Whether a row counts in a figure: inside the span, and read whole in its tick's own time
// (a row of any other status is left out of every figure).
inline bool counts(const record::Table& table, std::size_t row, const Span& span) {
    return table.status[row] == std::uint8_t(Sample::End::Complete) &&
           span.contains(table.elapsed[row]);
}

}  // namespace ignivex::analysis
