#pragma once

#include "analysis/Span.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace ignivex::analysis {

// A channel averaged over cells of engine speed and manifold pressure: the map as it ran.
// A value belongs to the bin [edge i, edge i+1); values outside the first and last edges are in
// no cell. Values are binned and averaged as the file wrote them (record::asWritten), so a MAP
// of 9.7 lies on an edge of 9.7, not below it.
struct MapCell {
    int rpmBin = 0;
    int mapBin = 0;
    qint64 samples = 0;
    double mean = 0;
    // From each of the cell's rows to the next row, a gap counted as no longer than the
    // recording's gap threshold; the last row of the recording adds nothing.
    double seconds = 0;
};

struct MapTable {
    QList<double> rpmEdges;
    QList<double> mapEdges;
    record::ChannelId of = record::channelOf(Value::Advance);
    record::ChannelInfo channel;  // the one averaged
    std::vector<MapCell> cells;  // those with samples, by engine-speed bin, then pressure bin
};

// 0 to 8000 rpm in steps of 500.
QList<double> defaultRpmEdges();
// The recording's MAP range: 0 to 30 in steps of 5 (range 1), 0 to 60 in steps of 10 (range 2),
// 0 to 90 in steps of 10 (range 3). With no range, or none named, 0 to 90 in steps of 10, the
// widest range.
QList<double> defaultMapEdges(std::optional<std::int16_t> rangeCode = std::nullopt);

// The most an edge list may hold, counted before it is parsed: a list past either is refused
// with the bound it passed, so a long text never gets a misleading reason.
struct EdgeBounds {
    qsizetype edges = std::numeric_limits<qsizetype>::max();
    qsizetype characters = std::numeric_limits<qsizetype>::max();
};

// "0,500,1000": at least two finite numbers, each greater than the one before. Nothing, with
// the reason in `why`, for anything else.
std::optional<QList<double>> edgesFrom(const QString& text, QString* why,
                                       const EdgeBounds& most = {});

MapTable mapTable(const record::Table& table, record::ChannelId of, const QList<double>& rpmEdges,
                  const QList<double>& mapEdges, const Span& span);
inline MapTable mapTable(const record::Table& table, Value of, const QList<double>& rpmEdges,
                         const QList<double>& mapEdges, const Span& span) {
    return mapTable(table, record::channelOf(of), rpmEdges, mapEdges, span);
}

// Two runs compared cell by cell (tables of the same channel over the same edges): the cells
// both have samples in, each with the difference of the means (a - b), and a's samples and time.
MapTable difference(const MapTable& a, const MapTable& b);

}  // namespace ignivex::analysis
