#pragma once

#include "analysis/Span.h"

#include <QList>
#include <QString>
#include <vector>

namespace ignivex::analysis {

// One channel of a table in bins over a span, its values counted as the file wrote them
// (record::asWritten).
//
// Edges given (at least two, increasing): a value belongs to [from, to) of its bin and values
// outside the first and last edges to none. Without edges: 20 equal bins from the least to the
// greatest counted value, the last bin closed, so the greatest value is in it; when every value
// is the same, 20 bins one last decimal wide with the value at the start of the eleventh.
struct HistogramBin {
    double from = 0, to = 0;
    qint64 samples = 0;
    double seconds = 0;  // each row the time to the next row, as the map table counts it
    double share = 0;    // of all counted time (or samples, see below), in bins or not
};

struct Histogram {
    record::ChannelId of = 0;
    record::ChannelInfo channel;
    QList<double> edges;
    bool defaultEdges = true;
    std::vector<HistogramBin> bins;  // every bin, the empty ones too; none when nothing counted
    // Shares are of the counted time; of the counted samples when that time is nothing (a
    // single row, rows at one instant).
    bool sharesOfTime = true;
    // Of every counted value, in a bin or not:
    qint64 samples = 0;
    double seconds = 0;
    double mean = 0;
    double median = 0;
    double sd = 0;  // population: the root of the mean square from the mean
    // Between closest ranks, linearly: the value at rank p x (n - 1) of the values sorted from
    // rank 0, a fractional rank between the two values either side of it. The median is p = 0.5.
    double p5 = 0, p95 = 0;
    QString empty;  // why there is no bin; empty when there are bins
};

// `edges` empty for the default bins.
Histogram histogram(const record::Table& table, record::ChannelId of, const Span& span,
                    const QList<double>& edges = {});

// The values at fractions `at` (increasing) of `values` by the rule above; reorders them. NaN
// for none.
std::vector<double> percentiles(std::vector<double>& values, const std::vector<double>& at);

}  // namespace ignivex::analysis
