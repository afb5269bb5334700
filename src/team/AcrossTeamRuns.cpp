#include "team/AcrossTeamRuns.h"

#include "acquire/Channels.h"
#include "base/MessageText.h"
#include "catalog/RunSet.h"
#include "record/RecordingTable.h"
#include "team/Connection.h"
#include "team/TeamStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>

namespace ignivex::team {

namespace {

// The runs of the tag, oldest first, as the server's keys and ids.
struct TaggedRuns {
    QByteArray keys;  // "{3,7,9}"
    QStringList ids;
};

std::optional<TaggedRuns> taggedRuns(TeamStore& store, const QString& tag, QString* why) {
    Result r = store.connection().exec(
        "SELECT r.run_key, r.id FROM ignivex.runs r JOIN ignivex.tags g ON g.run_key = "
        "r.run_key WHERE g.tag = $1 ORDER BY r.started_at NULLS FIRST, r.path",
        {tag.simplified().toUtf8()});
    if (!r.ok()) {
        *why = QStringLiteral("The team library at %1 could not be read: %2.")
                   .arg(store.location(), store.connection().broken()
                                              ? store.connection().lastError()
                                              : r.message());
        return std::nullopt;
    }
    if (r.rows() == 0) {
        *why = QStringLiteral("The team library at %1 has no run tagged \"%2\". Tag runs with "
                              "--library-tag ID TAG; --library-list shows them.")
                   .arg(store.location(), readable(tag, 40));
        return std::nullopt;
    }
    TaggedRuns runs;
    runs.keys = "{";
    for (int i = 0; i < r.rows(); ++i) {
        runs.keys += r.text(i, 0).toUtf8() + (i + 1 < r.rows() ? "," : "}");
        runs.ids << r.text(i, 1);
    }
    return runs;
}

// The SQL column of a module channel, or nothing for any other.
std::optional<std::size_t> moduleValue(const record::ChannelInfo& channel) {
    for (std::size_t v = 0; v < kValues.size(); ++v) {
        if (channel.column == QLatin1String(kValues[v].column))
            return v;
    }
    return std::nullopt;
}

QByteArray columnOf(std::size_t v) {
    return QByteArray(kValues[v].column);
}

QByteArray scaleOf(std::size_t v) {
    return QByteArray::number(record::kDecimalScale[kValues[v].decimals], 'f', 1);
}

QByteArray edgesArray(const QList<double>& edges) {
    QByteArray out = "{";
    for (qsizetype i = 0; i < edges.size(); ++i)
        out += QByteArray::number(edges[i], 'g', 17) + (i + 1 < edges.size() ? "," : "}");
    return out;
}

bool readFailed(TeamStore& store, const Result& r, QString* why) {
    *why = QStringLiteral("The team library at %1 could not answer: %2.")
               .arg(store.location(),
                    store.connection().broken() ? store.connection().lastError() : r.message());
    return false;
}

// The median step between rows that move on, over the runs, as the gap threshold of a
// recording takes it.
std::optional<double> gapThreshold(TeamStore& store, const QByteArray& keys, QString* why) {
    Result r = store.connection().exec(
        "SELECT step, sum(n) FROM (SELECT step, n FROM ignivex.run_steps WHERE run_key = "
        "ANY($1::integer[]) UNION ALL SELECT dt, count(*) FROM ignivex.run_rows WHERE run_key "
        "= ANY($1::integer[]) AND run_key NOT IN (SELECT run_key FROM ignivex.runs WHERE "
        "whole) AND dt > 0 GROUP BY dt) s GROUP BY step ORDER BY step",
        {keys});
    if (!r.ok()) {
        readFailed(store, r, why);
        return std::nullopt;
    }
    qint64 total = 0;
    for (int i = 0; i < r.rows(); ++i)
        total += r.integer(i, 1);
    if (total == 0)
        return record::kGapMinimumSeconds;
    const qint64 middle = total / 2;
    qint64 seen = 0;
    for (int i = 0; i < r.rows(); ++i) {
        seen += r.integer(i, 1);
        if (seen > middle)
            return std::max(record::kGapFactor * r.real(i, 0), record::kGapMinimumSeconds);
    }
    return record::kGapMinimumSeconds;
}

}  // namespace

std::optional<record::Recording> shapeOfTag(TeamStore& store, const QString& tag, QString* why) {
    const auto runs = taggedRuns(store, tag, why);
    if (!runs)
        return std::nullopt;
    // The top and the first row, as a recording is read only with rows; the row goes again.
    Result top = store.connection().exec(
        "SELECT r.top || coalesce((SELECT line || E'\\n' FROM ignivex.run_lines l WHERE "
        "l.run_key = r.run_key ORDER BY row_no LIMIT 1), '') FROM ignivex.runs r WHERE id = $1",
        {runs->ids.first().toUtf8()});
    if (!top.ok() || top.rows() != 1) {
        readFailed(store, top, why);
        return std::nullopt;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shape.csv"));
    QFile f(path);
    if (!dir.isValid() || !f.open(QIODevice::WriteOnly) || f.write(top.text(0, 0).toUtf8()) < 0) {
        *why = QStringLiteral("A temporary file for the team's runs cannot be written: %1.")
                   .arg(f.errorString());
        return std::nullopt;
    }
    f.close();
    record::ReadResult read = record::readRecording(path);
    if (!read.recording) {
        *why = QStringLiteral("The run %1 on the team library has a top that cannot be read: %2")
                   .arg(runs->ids.first(), read.error);
        return std::nullopt;
    }
    read.recording->path.clear();
    read.recording->table.dropFront(read.recording->table.size());
    read.recording->details.append({QStringLiteral("runs"), QString::number(runs->ids.size())});
    return std::move(read.recording);
}

std::optional<record::Recording> fetchTag(TeamStore& store, const QString& tag, QString* why) {
    const auto runs = taggedRuns(store, tag, why);
    if (!runs)
        return std::nullopt;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *why = QStringLiteral("A temporary folder for the team's runs cannot be made.");
        return std::nullopt;
    }
    QStringList paths;
    for (qsizetype i = 0; i < runs->ids.size(); ++i) {
        const auto text = store.recordingText(runs->ids[i], why);
        if (!text)
            return std::nullopt;
        const QString path = dir.filePath(QStringLiteral("run%1.csv").arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(*text) != text->size()) {
            *why = QStringLiteral("A temporary file for the team's runs cannot be written: %1.")
                       .arg(f.errorString());
            return std::nullopt;
        }
        paths << path;
    }
    auto all = catalog::combinedRecording(paths, why);
    if (all)
        all->path.clear();
    return all;
}

bool serverHas(const record::Table& shape, const std::vector<record::ChannelId>& channels) {
    return std::all_of(channels.begin(), channels.end(), [&](record::ChannelId c) {
        return c >= 0 && c < shape.channelCount() && moduleValue(shape.channel(c));
    });
}

std::optional<analysis::MapTable> mapTableOfTag(TeamStore& store, const QString& tag,
                                                const record::Table& shape,
                                                const analysis::MapRequest& request,
                                                QString* why) {
    const auto runs = taggedRuns(store, tag, why);
    if (!runs)
        return std::nullopt;
    const auto rowsValue = moduleValue(shape.channel(request.rows));
    const auto columnsValue = moduleValue(shape.channel(request.columns));
    const auto ofValue = moduleValue(shape.channel(request.of));
    if (!rowsValue || !columnsValue || !ofValue) {
        *why = QStringLiteral("The server counts only the module's own channels.");
        return std::nullopt;
    }
    const auto longest = gapThreshold(store, runs->keys, why);
    if (!longest)
        return std::nullopt;
    // Grouped on the bins alone: values outside the edges make a few groups more, dropped
    // here, rather than conditions on the bins that the planner would take for rare rows.
    const QByteArray sql =
        "SELECT width_bucket(" + columnOf(*rowsValue) + "::float8 / " + scaleOf(*rowsValue) +
        ", $2::float8[]) - 1 AS rb, width_bucket(" + columnOf(*columnsValue) + "::float8 / " +
        scaleOf(*columnsValue) + ", $3::float8[]) - 1 AS cb, count(*), sum(" +
        columnOf(*ofValue) + "), min(" + columnOf(*ofValue) + "), max(" + columnOf(*ofValue) +
        "), stddev_pop(" + columnOf(*ofValue) + "::float8), sum(least(coalesce(dt, 0), "
        "$4::float8)) FROM ignivex.run_rows WHERE run_key = ANY($1::integer[]) AND status = " +
        QByteArray::number(int(Sample::End::Complete)) + " AND " + columnOf(*ofValue) +
        " IS NOT NULL AND " + columnOf(*rowsValue) + " IS NOT NULL AND " +
        columnOf(*columnsValue) + " IS NOT NULL GROUP BY 1, 2 ORDER BY 1, 2";
    Result r = store.connection().exec(
        sql, {runs->keys, edgesArray(request.rowEdges), edgesArray(request.columnEdges),
              QByteArray::number(*longest, 'g', 17)});
    if (!r.ok()) {
        readFailed(store, r, why);
        return std::nullopt;
    }
    analysis::MapTable out;
    out.rpmEdges = request.rowEdges;
    out.mapEdges = request.columnEdges;
    out.of = request.of;
    out.channel = shape.channel(request.of);
    out.rows = request.rows;
    out.columns = request.columns;
    out.minSamples = std::max<qint64>(request.minSamples, 1);
    const double scale = record::kDecimalScale[kValues[*ofValue].decimals];
    const auto rowBins = request.rowEdges.size() - 1, columnBins = request.columnEdges.size() - 1;
    for (int i = 0; i < r.rows(); ++i) {
        analysis::MapCell cell;
        cell.rpmBin = int(r.integer(i, 0));
        cell.mapBin = int(r.integer(i, 1));
        cell.samples = r.integer(i, 2);
        if (cell.rpmBin < 0 || cell.rpmBin >= rowBins || cell.mapBin < 0 ||
            cell.mapBin >= columnBins || cell.samples < out.minSamples)
            continue;
        cell.mean = r.real(i, 3) / scale / double(cell.samples);
        cell.min = r.real(i, 4) / scale;
        cell.max = r.real(i, 5) / scale;
        cell.sd = r.real(i, 6) / scale;
        cell.seconds = r.real(i, 7);
        out.cells.push_back(cell);
    }
    return out;
}

std::optional<analysis::Statistics> statisticsOfTag(TeamStore& store, const QString& tag,
                                                    const record::Table& shape, QString* why) {
    const auto runs = taggedRuns(store, tag, why);
    if (!runs)
        return std::nullopt;
    QByteArray sql = "SELECT ";
    std::vector<std::size_t> values;
    for (record::ChannelId c = 0; c < shape.channelCount(); ++c) {
        const auto v = moduleValue(shape.channel(c));
        if (!v) {
            *why = QStringLiteral("The server counts only the module's own channels.");
            return std::nullopt;
        }
        const QByteArray col = columnOf(*v);
        sql += (values.empty() ? "" : ", ") + ("count(" + col + "), min(" + col + "), max(" +
                                               col + "), sum(" + col + ")");
        values.push_back(*v);
    }
    sql += " FROM ignivex.run_rows WHERE run_key = ANY($1::integer[]) AND status = " +
           QByteArray::number(int(Sample::End::Complete));
    Result r = store.connection().exec(sql, {runs->keys});
    if (!r.ok() || r.rows() != 1) {
        readFailed(store, r, why);
        return std::nullopt;
    }
    analysis::Statistics out(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int at = int(i) * 4;
        analysis::ChannelStatistics& s = out[i];
        s.samples = r.integer(0, at);
        if (s.samples == 0)
            continue;
        const double scale = record::kDecimalScale[kValues[values[i]].decimals];
        s.min = r.real(0, at + 1) / scale;
        s.max = r.real(0, at + 2) / scale;
        s.mean = r.real(0, at + 3) / scale / double(s.samples);
    }
    return out;
}

}  // namespace ignivex::team
