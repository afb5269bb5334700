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

// The bin of `v` among `edges`, or -1 outside them.
int binOf(const QList<double>& edges, double v) {
    if (!(v >= edges.front()) || !(v < edges.back()))
        return -1;
    const auto it = std::upper_bound(edges.begin(), edges.end(), v);
    return int(it - edges.begin()) - 1;
}

}  // namespace

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

MapTable mapTable(const record::Table& table, record::ChannelId of, const QList<double>& rpmEdges,
                  const QList<double>& mapEdges, const Span& span) {
    MapTable out;
    out.rpmEdges = rpmEdges;
    out.mapEdges = mapEdges;
    out.of = of;
    out.channel = table.channel(of);
    const auto& rpm = table.column(Value::Rpm);
    const auto& map = table.column(Value::Map);
    const auto& value = table.column(of);
    const int rpmDecimals = table.channel(record::channelOf(Value::Rpm)).decimals;
    const int mapDecimals = table.channel(record::channelOf(Value::Map)).decimals;
    const int valueDecimals = out.channel.decimals;
    const double longest = record::gapThresholdOf(table.elapsed);
    struct Sum {
        qint64 samples = 0;
        double units = 0, seconds = 0;
    };
    std::map<std::pair<int, int>, Sum> sums;
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (!counts(table, row, span) || !std::isfinite(value[row]))
            continue;
        const int r = binOf(rpmEdges, record::asWritten(rpm[row], rpmDecimals));
        const int m = binOf(mapEdges, record::asWritten(map[row], mapDecimals));
        if (r < 0 || m < 0)
            continue;
        Sum& s = sums[{r, m}];
        ++s.samples;
        s.units += record::writtenUnits(value[row], valueDecimals);  // exact, however many
        if (row + 1 < table.size())
            s.seconds += std::min(table.elapsed[row + 1] - table.elapsed[row], longest);
    }
    const double scale = record::kDecimalScale[valueDecimals];
    for (const auto& [bin, s] : sums)
        out.cells.push_back(
            {bin.first, bin.second, s.samples, s.units / scale / double(s.samples), s.seconds});
    return out;
}

MapTable difference(const MapTable& a, const MapTable& b) {
    MapTable out;
    out.rpmEdges = a.rpmEdges;
    out.mapEdges = a.mapEdges;
    out.of = a.of;
    out.channel = a.channel;
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
