#pragma once

#include "analysis/Span.h"

#include <array>

namespace ignivex::analysis {

// One channel over a span: how many rows had a value, the least, the greatest and the mean.
// For an input the mean is the share of its samples at 1. The figures are of the values as the
// file wrote them (record::asWritten), not of the floats the table holds.
struct ChannelStatistics {
    qint64 samples = 0;
    double min = 0, max = 0, mean = 0;
};

using Statistics = std::array<ChannelStatistics, kValueCount>;

Statistics statistics(const record::Table& table, const Span& span);

}  // namespace ignivex::analysis
