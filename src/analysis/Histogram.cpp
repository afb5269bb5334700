#include "analysis/Histogram.h"

#include "analysis/MapTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex::analysis {

namespace {

constexpr int kDefaultBins = 20;

// Edges from `least` to `most` (in units of the last decimal), the inner ones rounded to two
// decimals more than the channel writes, so they print as the numbers they are and a value
// compares with them as written. Equal ends get bins one unit wide around the value.
QList<double> defaultEdges(double least, double most, int decimals) {
    const double scale = record::kDecimalScale[decimals];
    QList<double> edges;
    if (least == most) {
        for (int i = 0; i <= kDefaultBins; ++i)
            edges << (least + double(i - kDefaultBins / 2)) / scale;
        return edges;
    }
    const int finer = std::min(decimals + 2, 6);
    const double fine = record::kDecimalScale[finer];
    for (int i = 0; i <= kDefaultBins; ++i) {
        const double units = least + (most - least) * i / kDefaultBins;
        edges << (finer > decimals ? std::round(units / scale * fine) / fine : units / scale);
    }
    edges.front() = least / scale;
    edges.back() = most / scale;
    return edges;
}

}  // namespace

std::vector<double> percentiles(std::vector<double>& values, const std::vector<double>& at) {
    std::vector<double> out;
    // Each rank is found among the values above the one before it, which nth_element has left
    // after it: a third of the work of three searches over all of them.
    auto above = values.begin();
    for (const double p : at) {
        if (values.empty()) {
            out.push_back(std::numeric_limits<double>::quiet_NaN());
            continue;
        }
        const double rank = p * double(values.size() - 1);
        const auto below = std::size_t(std::floor(rank));
        const auto it = values.begin() + std::ptrdiff_t(below);
        if (it >= above)
            std::nth_element(above, it, values.end());
        above = std::max(above, it + 1);
        const double a = *it;
        if (double(below) == rank || below + 1 >= values.size()) {
            out.push_back(a);
            continue;
        }
        // Only greater or equal values follow `below`: the next rank is their least.
        out.push_back(a + (rank - double(below)) * (*std::min_element(it + 1, values.end()) - a));
    }
    return out;
}

Histogram histogram(const record::Table& table, record::ChannelId of, const Span& span,
                    const QList<double>& edges) {
    Histogram out;
    out.of = of;
    out.channel = table.channel(of);
    out.edges = edges;
    out.defaultEdges = edges.isEmpty();
    const auto& column = table.column(of);
    const int decimals = out.channel.decimals;
    const double scale = record::kDecimalScale[decimals];
    const double longest = record::gapThresholdOf(table.elapsed);
    // In units of the last decimal, whole numbers, so the sum is exact and the values compare
    // as written.
    std::vector<double> units, seconds;
    units.reserve(table.size());
    seconds.reserve(table.size());
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!counts(table, row, span) || !std::isfinite(column[row]))
            continue;
        units.push_back(record::writtenUnits(column[row], decimals));
        seconds.push_back(secondsOf(table, row, longest));
    }
    if (units.empty()) {
        out.empty = QStringLiteral(
                        "No row of the span (status ok, and let through where rows "
                        "are filtered) has a value of %1, so there is nothing to "
                        "count.")
                        .arg(out.channel.column);
        return out;
    }
    const auto [least, most] = std::minmax_element(units.begin(), units.end());
    if (out.defaultEdges)
        out.edges = defaultEdges(*least, *most, decimals);
    const int binCount = int(out.edges.size()) - 1;
    out.bins.resize(std::size_t(binCount));
    for (int b = 0; b < binCount; ++b) {
        out.bins[std::size_t(b)].from = out.edges[b];
        out.bins[std::size_t(b)].to = out.edges[b + 1];
    }
    const double top = *most;
    double sum = 0, fromFirst = 0, squares = 0;
    // Squares taken from the first value, so a large, steady value loses nothing to its size.
    const double first = units.front();
    for (std::size_t i = 0; i < units.size(); ++i) {
        const double u = units[i];
        sum += u;
        fromFirst += u - first;
        squares += (u - first) * (u - first);
        out.seconds += seconds[i];
        int b = binOf(out.edges, u / scale);
        if (b < 0 && out.defaultEdges && u == top)
            b = binCount - 1;
        if (b < 0)
            continue;
        ++out.bins[std::size_t(b)].samples;
        out.bins[std::size_t(b)].seconds += seconds[i];
    }
    const double n = double(units.size());
    out.samples = qint64(units.size());
    out.sharesOfTime = out.seconds > 0;
    for (HistogramBin& bin : out.bins)
        bin.share = out.sharesOfTime ? bin.seconds / out.seconds : double(bin.samples) / n;
    out.mean = sum / n / scale;
    out.sd = std::sqrt(std::max((squares - fromFirst * fromFirst / n) / n, 0.0)) / scale;
    const std::vector<double> ranked = percentiles(units, {0.05, 0.5, 0.95});
    out.p5 = ranked[0] / scale;
    out.median = ranked[1] / scale;
    out.p95 = ranked[2] / scale;
    return out;
}

}  // namespace ignivex::analysis
