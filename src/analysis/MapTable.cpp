#include "analysis/MapTable.h"

#include "link/Scaling.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace ignivex::analysis {

namespace {

QList<double> steps(double from, double to, double step) {
    QList<double> edges;
    for (double e = from; e <= to; e += step)
        edges << e;
    return edges;
}

}  // namespace

int binOf(const QList<double>& edges, double v) {
    if (edges.size() < 2 || !(v >= edges.front()) || !(v < edges.back()))
        return -1;
    const auto it = std::upper_bound(edges.begin(), edges.end(), v);
    return int(it - edges.begin()) - 1;
}

std::optional<QList<double>> defaultEdgesOf(const record::ChannelInfo& channel,
                                            std::optional<std::int16_t> rangeCode) {
    if (channel.is(Value::Rpm))
        return defaultRpmEdges();
    if (channel.is(Value::Map))
        return defaultMapEdges(rangeCode);
    return std::nullopt;
}

QList<double> defaultRpmEdges() {
    return steps(0, 8000, 500);
}

QList<double> defaultMapEdges(std::optional<std::int16_t> rangeCode) {
    const double top = rangeCode && *rangeCode > 0 ? double(scaling::mapLimit(*rangeCode)) : 90;
    return steps(0, top, top <= 30 ? 5 : 10);
}

std::optional<QList<double>> edgesFrom(const QString& text, QString* why, const EdgeBounds& most) {
    if (text.size() > most.characters) {
        *why = QStringLiteral("the text is longer than %1 characters, the most taken: give "
                              "fewer edges")
                   .arg(most.characters);
        return std::nullopt;
    }
    if (const qsizetype given = text.count(QLatin1Char(',')) + 1; given > most.edges) {
        *why = QStringLiteral("%1 edges given, at most %2 (%3 cells across) are taken: use "
                              "wider steps")
                   .arg(given)
                   .arg(most.edges)
                   .arg(most.edges - 1);
        return std::nullopt;
    }
    QList<double> edges;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const double v = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            *why = QStringLiteral("\"%1\" is not a number").arg(part.trimmed().left(40));
            return std::nullopt;
        }
        if (!edges.isEmpty() && v <= edges.back()) {
            *why = QStringLiteral("each edge must be greater than the one before it");
            return std::nullopt;
        }
        edges << v;
    }
    if (edges.size() < 2) {
        *why = QStringLiteral("at least two edges are needed");
        return std::nullopt;
    }
    return edges;
}

MapTable mapTable(const record::Table& table, const MapRequest& request, const Span& span) {
    MapTable out;
    out.rpmEdges = request.rowEdges;
    out.mapEdges = request.columnEdges;
    out.of = request.of;
    out.channel = table.channel(request.of);
    out.rows = request.rows;
    out.columns = request.columns;
    out.minSamples = std::max<qint64>(request.minSamples, 1);
    const auto& rowValues = table.column(request.rows);
    const auto& columnValues = table.column(request.columns);
    const auto& value = table.column(request.of);
    const int rowDecimals = table.channel(request.rows).decimals;
    const int columnDecimals = table.channel(request.columns).decimals;
    const int valueDecimals = out.channel.decimals;
    const double longest = record::gapThresholdOf(table.elapsed);
    // In units of the value's last decimal, whole numbers: the sum is exact however many rows
    // there are. The squares are taken from the cell's first value, so a large, steady value
    // (an engine speed) loses nothing to the square of its size.
    struct Sum {
        qint64 samples = 0;
        double units = 0, seconds = 0, first = 0, fromFirst = 0, squares = 0, least = 0, most = 0;
    };
    std::map<std::pair<int, int>, Sum> sums;
    // Rows follow each other within a cell for long stretches: the last cell is kept at hand.
    std::pair<int, int> lastBin{-1, -1};
    Sum* last = nullptr;
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!counts(table, row, span) || !std::isfinite(value[row]))
            continue;
        const int r = binOf(out.rpmEdges, record::asWritten(rowValues[row], rowDecimals));
        const int c = binOf(out.mapEdges, record::asWritten(columnValues[row], columnDecimals));
        if (r < 0 || c < 0)
            continue;
        if (!last || lastBin != std::pair{r, c}) {
            lastBin = {r, c};
            last = &sums[lastBin];
        }
        Sum& s = *last;
        const double u = record::writtenUnits(value[row], valueDecimals);
        if (s.samples == 0)
            s.first = s.least = s.most = u;
        ++s.samples;
        s.units += u;
        s.fromFirst += u - s.first;
        s.squares += (u - s.first) * (u - s.first);
        s.least = std::min(s.least, u);
        s.most = std::max(s.most, u);
        s.seconds += secondsOf(table, row, longest);
    }
    const double scale = record::kDecimalScale[valueDecimals];
    for (const auto& [bin, s] : sums) {
        if (s.samples < out.minSamples)
            continue;
        const double n = double(s.samples);
        const double variance = (s.squares - s.fromFirst * s.fromFirst / n) / n;
        MapCell cell{bin.first, bin.second, s.samples, s.units / scale / n, s.seconds};
        cell.min = s.least / scale;
        cell.max = s.most / scale;
        cell.sd = std::sqrt(std::max(variance, 0.0)) / scale;
        out.cells.push_back(cell);
    }
    return out;
}

MapTable mapTable(const record::Table& table, record::ChannelId of, const QList<double>& rpmEdges,
                  const QList<double>& mapEdges, const Span& span) {
    MapRequest request;
    request.of = of;
    request.rowEdges = rpmEdges;
    request.columnEdges = mapEdges;
    return mapTable(table, request, span);
}

MapTable difference(const MapTable& a, const MapTable& b) {
    MapTable out;
    out.rpmEdges = a.rpmEdges;
    out.mapEdges = a.mapEdges;
    out.of = a.of;
    out.channel = a.channel;
    out.rows = a.rows;
    out.columns = a.columns;
    out.minSamples = a.minSamples;
    std::map<std::pair<int, int>, const MapCell*> other;
    for (const MapCell& c : b.cells)
        other[{c.rpmBin, c.mapBin}] = &c;
    for (const MapCell& c : a.cells) {
        const auto it = other.find({c.rpmBin, c.mapBin});
        if (it == other.end())
            continue;
        MapCell d = c;
        d.mean = c.mean - it->second->mean;
        out.cells.push_back(d);
    }
    return out;
}

}  // namespace ignivex::analysis
