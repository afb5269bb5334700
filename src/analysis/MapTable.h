#pragma once

#include "analysis/Span.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace ignivex::analysis {

// A channel averaged over cells of two others: engine speed (the rows) and manifold pressure
// (the columns) unless others are chosen; the map as it ran. A value belongs to the bin
// [edge i, edge i+1); values outside the first and last edges are in no cell. Values are binned
// and counted as the file wrote them (record::asWritten), so a MAP of 9.7 lies on an edge of
// 9.7, not below it. The bins keep the names of the table they began as: `rpmBin` is the bin of
// the rows' channel and `mapBin` that of the columns', whichever channels those are.
struct MapCell {
    int rpmBin = 0;
    int mapBin = 0;
    qint64 samples = 0;
    double mean = 0;
    // From each of the cell's rows to the next row, a gap counted as no longer than the
    // recording's gap threshold; the last row of the recording adds nothing.
    double seconds = 0;
    double min = 0, max = 0;  // as written
    double sd = 0;            // population: the root of the mean square from the mean
};

struct MapTable {
    QList<double> rpmEdges;  // the rows'
    QList<double> mapEdges;  // the columns'
    record::ChannelId of = record::channelOf(Value::Advance);
    record::ChannelInfo channel;  // the one averaged
    record::ChannelId rows = record::channelOf(Value::Rpm);
    record::ChannelId columns = record::channelOf(Value::Map);
    qint64 minSamples = 1;
    // Those with at least minSamples samples, by the rows' bin, then the columns' bin.
    std::vector<MapCell> cells;
};

// 0 to 8000 rpm in steps of 500.
QList<double> defaultRpmEdges();
// The recording's MAP range: 0 to 30 in steps of 5 (range 1), 0 to 60 in steps of 10 (range 2),
// 0 to 90 in steps of 10 (range 3). With no range, or none named, 0 to 90 in steps of 10, the
// widest range.
QList<double> defaultMapEdges(std::optional<std::int16_t> rangeCode = std::nullopt);

// A channel's own edges where it has some (rpm's and MAP's above), nothing for any other.
std::optional<QList<double>> defaultEdgesOf(const record::ChannelInfo& channel,
                                            std::optional<std::int16_t> rangeCode = std::nullopt);

// The bin of `v` among `edges` ([edge i, edge i+1)), or -1 outside them or for NaN.
int binOf(const QList<double>& edges, double v);

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

// What a map table counts: which channel, over which two, on which edges; a cell with fewer
// than minSamples samples counts as empty and is not listed.
struct MapRequest {
    record::ChannelId of = record::channelOf(Value::Advance);
    record::ChannelId rows = record::channelOf(Value::Rpm);
    record::ChannelId columns = record::channelOf(Value::Map);
    QList<double> rowEdges = defaultRpmEdges();
    QList<double> columnEdges = defaultMapEdges();
    qint64 minSamples = 1;
};

MapTable mapTable(const record::Table& table, const MapRequest& request, const Span& span);

// Over rpm and MAP.
MapTable mapTable(const record::Table& table, record::ChannelId of, const QList<double>& rpmEdges,
                  const QList<double>& mapEdges, const Span& span);
inline MapTable mapTable(const record::Table& table, Value of, const QList<double>& rpmEdges,
                         const QList<double>& mapEdges, const Span& span) {
    return mapTable(table, record::channelOf(of), rpmEdges, mapEdges, span);
}

// Two runs compared cell by cell (tables of the same channel over the same edges): the cells
// both list, each with the difference of the means (a - b), and a's samples, time, least,
// greatest and deviation.
MapTable difference(const MapTable& a, const MapTable& b);

}  // namespace ignivex::analysis
