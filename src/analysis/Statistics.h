#pragma once

#include "analysis/Span.h"

#include <vector>

namespace ignivex::analysis {

// One channel over a span: how many rows had a value, the least, the greatest and the mean.
// For an input the mean is the share of its samples at 1. The figures are of the values as the
// file wrote them (record::asWritten), not of the floats the table holds.
struct ChannelStatistics {
    qint64 samples = 0;
    double min = 0, max = 0, mean = 0;
};

// One a channel of the table, in its order.
using Statistics = std::vector<ChannelStatistics>;

Statistics statistics(const record::Table& table, const Span& span);

}  // namespace ignivex::analysis
