#include "team/TeamStore.h"

#include "base/MessageText.h"
#include "catalog/SearchText.h"
#include "record/RecordFormat.h"
#include "record/RecordingTable.h"
#include "team/Connection.h"
#include "team/RowsForServer.h"
#include "team/TeamSchema.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace ignivex::team {

using catalog::AddResult;
using catalog::RunEntry;

namespace {

// Never SQL's NULL: an empty text is a text.
QByteArray text(const QString& s) {
    const QByteArray b = s.toUtf8();
    return b.isNull() ? QByteArray("") : b;
}

QByteArray number(qint64 v) {
    return QByteArray::number(v);
}

QByteArray number(double v) {
    return QByteArray::number(v, 'g', 17);
}

const char kRunColumns[] =
    "SELECT r.run_key, r.id, r.path, r.started, r.duration_s, r.rows, r.firmware, r.map_range, "
    "r.marks, r.note, r.whole, "
    "coalesce((SELECT string_agg(tag, ';' ORDER BY tag) FROM ignivex.tags g "
    "WHERE g.run_key = r.run_key), '') FROM ignivex.runs r";

// A data file's top (the "#" lines and the column line) and its data lines.
struct FileParts {
    QByteArray top;
    QList<QByteArray> lines;
};

std::optional<FileParts> readParts(const QString& path, QString* why) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("%1 cannot be read: %2.")
                   .arg(readablePath(path), f.errorString());
        return std::nullopt;
    }
    FileParts parts;
    bool inTop = true;
    while (!f.atEnd()) {
        QByteArray line = f.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (inTop) {
            parts.top += line + '\n';
            if (record::isHeaderRow(line))
                inTop = false;
        } else if (!line.isEmpty()) {
            parts.lines << line;
        }
    }
    if (inTop) {
        *why = QStringLiteral("%1 has no column line, so it is not a recording.")
                   .arg(readablePath(path));
        return std::nullopt;
    }
    return parts;
}

}  // namespace

TeamStore::TeamStore(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

TeamStore::~TeamStore() = default;

std::unique_ptr<TeamStore> TeamStore::open(const QString& url, QString* why, bool* reached) {
    if (reached)
        *reached = false;
    QString reason;
    auto db = Connection::open(url, &reason);
    if (!db) {
#ifdef Q_OS_WIN
        const QString passwordFile = QStringLiteral("%APPDATA%\\postgresql\\pgpass.conf");
#else
        const QString passwordFile = QStringLiteral("~/.pgpass");
#endif
        *why = QStringLiteral("The team library at %1 cannot be reached: %2. Check the address, "
                              "the network and the password (%3, PGPASSFILE or PGPASSWORD).")
                   .arg(withoutPassword(url), reason, passwordFile);
        return nullptr;
    }
    if (!prepareSchema(*db, why)) {
        // A schema refused is an answer; a server gone while it was read is not.
        if (reached)
            *reached = !db->broken();
        return nullptr;
    }
    if (reached)
        *reached = true;
    return std::unique_ptr<TeamStore>(new TeamStore(std::move(db)));
}

Connection& TeamStore::connection() {
    return *connection_;
}

bool TeamStore::lostConnection() const {
    return connection_->broken();
}

QString TeamStore::location() const {
    return connection_->place();
}

bool TeamStore::failed(const QString& what, const Result& result, QString* why) const {
    if (!why)
        return false;
    if (connection_->broken())
        *why = QStringLiteral("The team library at %1 went away before it could %2 (%3). "
                              "Nothing was lost; try again when the server is back.")
                   .arg(location(), what, connection_->lastError());
    else if (result.state() == u"42501")
        *why = QStringLiteral("The role %1 may only read the team library at %2, so it could "
                              "not %3. Ask the server's keeper to make %1 a member of "
                              "ignivex_writer.")
                   .arg(connection_->user(), location(), what);
    else
        *why = QStringLiteral("The team library at %1 could not %2: %3.")
                   .arg(location(), what, result.message());
    return false;
}

std::optional<int> TeamStore::keyOf(const QString& id, QString* why) {
    Result r = connection_->exec("SELECT run_key FROM ignivex.runs WHERE id = $1", {text(id)});
    if (!r.ok()) {
        failed(QStringLiteral("be read"), r, why);
        return std::nullopt;
    }
    if (r.rows() == 0) {
        *why = QStringLiteral("The team library at %1 has no run %2. --library-list shows the "
                              "runs and their ids.")
                   .arg(location(), readable(id, 80));
        return std::nullopt;
    }
    return int(r.integer(0, 0));
}

bool TeamStore::inTransaction(const std::function<bool(QString*)>& work, const QString& what,
                              QString* why) {
    Result begin = connection_->exec("BEGIN");
    if (!begin.ok())
        return failed(what, begin, why);
    if (!work(why)) {
        connection_->exec("ROLLBACK");
        return false;
    }
    Result commit = connection_->exec("COMMIT");
    return commit.ok() || failed(what, commit, why);
}

std::optional<AddResult> TeamStore::addOne(const RunEntry& run, QString* why) {
    const QString path = QFileInfo(run.path).absoluteFilePath();
    // Two PCs adding the same run: the id is unique, so one row is made and the other finds it.
    Result put = connection_->exec(
        "INSERT INTO ignivex.runs (id, path, started, started_at, duration_s, rows, firmware, "
        "map_range, marks, note) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) "
        "ON CONFLICT (id) DO NOTHING RETURNING run_key",
        {text(run.id), text(path), text(run.started.toString(Qt::ISODateWithMs)),
         run.started.isValid() ? text(run.started.toString(Qt::ISODateWithMs)) : QByteArray(),
         number(run.durationS), number(run.rows), text(run.firmware), text(run.mapRange),
         number(run.marks), text(run.note)});
    if (!put.ok())
        return failed(QStringLiteral("take the run"), put, why), std::nullopt;
    AddResult result = AddResult::Added;
    int key = 0;
    if (put.rows() == 1) {
        key = int(put.integer(0, 0));
    } else {
        Result known = connection_->exec("SELECT run_key, path FROM ignivex.runs WHERE id = $1",
                                         {text(run.id)});
        if (!known.ok() || known.rows() != 1)
            return failed(QStringLiteral("be read"), known, why), std::nullopt;
        key = int(known.integer(0, 0));
        result = known.text(0, 1) == path ? AddResult::Known : AddResult::Moved;
        if (result == AddResult::Moved) {
            Result move = connection_->exec(
                "UPDATE ignivex.runs SET path = $1 WHERE run_key = $2", {text(path), number(qint64(key))});
            if (!move.ok())
                return failed(QStringLiteral("take the run"), move, why), std::nullopt;
        }
    }
    if (!putFigures(key, run, why) || !insertTags(key, run.tags, why))
        return std::nullopt;
    return result;
}

bool TeamStore::putFigures(int key, const RunEntry& run, QString* why) {
    if (run.channels.empty())
        return true;
    const QByteArray k = number(qint64(key));
    Result figures = connection_->exec(
        "UPDATE ignivex.runs SET started = $2, started_at = $3, duration_s = $4, rows = $5, "
        "firmware = $6, map_range = $7, marks = $8 WHERE run_key = $1",
        {k, text(run.started.toString(Qt::ISODateWithMs)),
         run.started.isValid() ? text(run.started.toString(Qt::ISODateWithMs)) : QByteArray(),
         number(run.durationS), number(run.rows), text(run.firmware), text(run.mapRange),
         number(run.marks)});
    Result drop = figures.ok()
                      ? connection_->exec("DELETE FROM ignivex.channels WHERE run_key = $1", {k})
                      : Result();
    if (!figures.ok() || !drop.ok())
        return failed(QStringLiteral("take the run"), figures.ok() ? drop : figures, why);
    for (std::size_t i = 0; i < run.channels.size(); ++i) {
        const catalog::ChannelFigures& c = run.channels[i];
        const bool any = c.samples > 0;
        Result put = connection_->exec(
            "INSERT INTO ignivex.channels (run_key, position, name, samples, min, max, mean) "
            "VALUES ($1, $2, $3, $4, $5, $6, $7)",
            {k, number(qint64(i)), text(c.column), number(c.samples),
             any ? number(c.min) : QByteArray(), any ? number(c.max) : QByteArray(),
             any ? number(c.mean) : QByteArray()});
        if (!put.ok())
            return failed(QStringLiteral("take the run"), put, why);
    }
    return true;
}

bool TeamStore::insertTags(int key, const QStringList& tags, QString* why) {
    for (const QString& tag : catalog::cleanTags(tags)) {
        Result put = connection_->exec(
            "INSERT INTO ignivex.tags (run_key, tag) VALUES ($1, $2) ON CONFLICT DO NOTHING",
            {number(qint64(key)), text(tag)});
        if (!put.ok())
            return failed(QStringLiteral("tag the run"), put, why);
    }
    return true;
}

std::optional<AddResult> TeamStore::add(const RunEntry& run, QString* why) {
    const auto results = addAll({run}, why);
    if (!results)
        return std::nullopt;
    return results->first();
}

std::optional<QList<AddResult>> TeamStore::addAll(const QList<RunEntry>& runs, QString* why) {
    QList<AddResult> results;
    const bool ok = inTransaction(
        [&](QString* w) {
            for (const RunEntry& run : runs) {
                const auto result = addOne(run, w);
                if (!result)
                    return false;
                results << *result;
            }
            return true;
        },
        QStringLiteral("take the runs"), why);
    if (!ok)
        return std::nullopt;
    return results;
}

std::optional<QList<RunEntry>> TeamStore::runsOf(const QByteArray& sql,
                                                 const QList<QByteArray>& parameters,
                                                 QString* why) {
    Result r = connection_->exec(sql, parameters);
    if (!r.ok()) {
        failed(QStringLiteral("be read"), r, why);
        return std::nullopt;
    }
    QList<RunEntry> runs;
    QList<int> keys;
    for (int i = 0; i < r.rows(); ++i) {
        RunEntry e;
        keys << int(r.integer(i, 0));
        e.id = r.text(i, 1);
        e.path = r.text(i, 2);
        e.started = QDateTime::fromString(r.text(i, 3), Qt::ISODateWithMs);
        e.durationS = r.real(i, 4);
        e.rows = r.integer(i, 5);
        e.firmware = r.text(i, 6);
        e.mapRange = r.text(i, 7);
        e.marks = r.integer(i, 8);
        e.note = r.text(i, 9);
        // On the server a run is there to open once its rows are whole.
        e.present = r.text(i, 10) == u"t";
        const QString tags = r.text(i, 11);
        if (!tags.isEmpty())
            e.tags = tags.split(QLatin1Char(';'));
        runs << e;
    }
    if (runs.isEmpty())
        return runs;
    QByteArray keyList = "{";
    for (int k : keys)
        keyList += QByteArray::number(k) + ',';
    keyList.back() = '}';
    Result ch = connection_->exec("SELECT run_key, name, samples, min, max, mean FROM "
                                  "ignivex.channels WHERE run_key = ANY($1::integer[]) "
                                  "ORDER BY run_key, position",
                                  {keyList});
    if (!ch.ok()) {
        failed(QStringLiteral("be read"), ch, why);
        return std::nullopt;
    }
    for (int i = 0; i < ch.rows(); ++i) {
        const qsizetype at = keys.indexOf(int(ch.integer(i, 0)));
        if (at >= 0)
            runs[at].channels.push_back({ch.text(i, 1), ch.integer(i, 2), ch.real(i, 3),
                                         ch.real(i, 4), ch.real(i, 5)});
    }
    return runs;
}

std::optional<QList<RunEntry>> TeamStore::find(const catalog::RunQuery& q, QString* why) {
    QByteArray sql = kRunColumns;
    sql += " WHERE true";
    QList<QByteArray> p;
    for (const QString& word : catalog::searchWords(q.text)) {
        p << text(catalog::likePattern(word));
        sql += " AND lower(r.path || ' ' || r.firmware || ' ' || r.note || ' ' || "
               "coalesce((SELECT string_agg(tag, ' ') FROM ignivex.tags g WHERE g.run_key = "
               "r.run_key), '')) LIKE $" + QByteArray::number(p.size());
    }
    if (q.from.isValid()) {
        p << text(q.from.toString(Qt::ISODateWithMs));
        sql += " AND r.started_at >= $" + QByteArray::number(p.size());
    }
    if (q.to.isValid()) {
        p << text(q.to.toString(Qt::ISODateWithMs));
        sql += " AND r.started_at <= $" + QByteArray::number(p.size());
    }
    if (q.minDurationS > 0) {
        p << number(q.minDurationS);
        sql += " AND r.duration_s >= $" + QByteArray::number(p.size());
    }
    if (q.maxDurationS >= 0) {
        p << number(q.maxDurationS);
        sql += " AND r.duration_s <= $" + QByteArray::number(p.size());
    }
    if (!q.tag.isEmpty()) {
        p << text(q.tag.simplified());
        sql += " AND r.run_key IN (SELECT run_key FROM ignivex.tags WHERE tag = $" +
               QByteArray::number(p.size()) + ")";
    }
    sql += " ORDER BY r.started_at DESC NULLS LAST, r.path";
    return runsOf(sql, p, why);
}

std::optional<RunEntry> TeamStore::run(const QString& id, QString* why) {
    auto runs = runsOf(QByteArray(kRunColumns) + " WHERE r.id = $1", {text(id)}, why);
    if (!runs)
        return std::nullopt;
    if (runs->isEmpty()) {
        *why = QStringLiteral("The team library at %1 has no run %2. --library-list shows the "
                              "runs and their ids.")
                   .arg(location(), readable(id, 80));
        return std::nullopt;
    }
    return runs->first();
}

std::optional<QString> TeamStore::idAt(const QString& path, QString* why) {
    Result r = connection_->exec("SELECT id FROM ignivex.runs WHERE path = $1",
                                 {text(QFileInfo(path).absoluteFilePath())});
    if (!r.ok()) {
        failed(QStringLiteral("be read"), r, why);
        return std::nullopt;
    }
    if (r.rows() == 0)
        return std::nullopt;
    return r.text(0, 0);
}

bool TeamStore::addTags(const QString& id, const QStringList& tags, QString* why) {
    const auto key = keyOf(id, why);
    return key && insertTags(*key, tags, why);
}

bool TeamStore::removeTag(const QString& id, const QString& tag, QString* why) {
    const auto key = keyOf(id, why);
    if (!key)
        return false;
    Result r = connection_->exec("DELETE FROM ignivex.tags WHERE run_key = $1 AND tag = $2",
                                 {number(qint64(*key)), text(tag)});
    return r.ok() || failed(QStringLiteral("untag the run"), r, why);
}

bool TeamStore::setNote(const QString& id, const QString& note, QString* why) {
    const auto key = keyOf(id, why);
    if (!key)
        return false;
    Result r = connection_->exec("UPDATE ignivex.runs SET note = $2 WHERE run_key = $1",
                                 {number(qint64(*key)), text(note.simplified())});
    return r.ok() || failed(QStringLiteral("take the note"), r, why);
}

bool TeamStore::remove(const QString& id, QString* why) {
    Result r = connection_->exec("DELETE FROM ignivex.runs WHERE id = $1", {text(id)});
    return r.ok() || failed(QStringLiteral("forget the run"), r, why);
}

std::optional<QStringList> TeamStore::allTags(QString* why) {
    Result r = connection_->exec("SELECT DISTINCT tag FROM ignivex.tags ORDER BY tag");
    if (!r.ok()) {
        failed(QStringLiteral("be read"), r, why);
        return std::nullopt;
    }
    QStringList tags;
    for (int i = 0; i < r.rows(); ++i)
        tags << r.text(i, 0);
    return tags;
}

bool TeamStore::beginRun(const QString& id, const QByteArray& top, const QString& path,
                         QString* why) {
    Result r = connection_->exec(
        "INSERT INTO ignivex.runs (id, path, top) VALUES ($1, $2, $3) ON CONFLICT (id) DO "
        "UPDATE SET top = EXCLUDED.top WHERE ignivex.runs.top = ''",
        {text(id), text(QFileInfo(path).absoluteFilePath()), top});
    return r.ok() || failed(QStringLiteral("take the run"), r, why);
}

bool TeamStore::sendRows(const QString& id, qint64 firstRow, const QList<QByteArray>& lines,
                         QString* why) {
    if (lines.isEmpty())
        return true;
    const auto key = keyOf(id, why);
    if (!key)
        return false;
    const QByteArray copy = copyRows(*key, firstRow, lines);
    const QByteArray k = number(qint64(*key));
    return inTransaction(
        [&](QString* w) {
            Result made = connection_->exec(
                "CREATE TEMP TABLE IF NOT EXISTS incoming (LIKE ignivex.run_rows, line text) "
                "ON COMMIT DELETE ROWS");
            if (!made.ok())
                return failed(QStringLiteral("take the rows"), made, w);
            if (!connection_->copyIn("COPY incoming FROM STDIN", copy, w)) {
                if (connection_->broken())
                    failed(QStringLiteral("take the rows"), Result(), w);
                else if (w->contains(QLatin1String("permission")))
                    failed(QStringLiteral("take the rows"), Result(), w);
                return false;
            }
            // Rows the server holds already stay as they are: sending twice doubles nothing.
            Result rows = connection_->exec(
                "INSERT INTO ignivex.run_rows SELECT run_key, row_no, status, t, dt, rpm, "
                "advance, map, battery_v, gpi3_v, gpi1, gpi2, gpi3 FROM incoming "
                "ON CONFLICT (run_key, row_no) DO UPDATE SET dt = EXCLUDED.dt "
                "WHERE ignivex.run_rows.dt IS NULL AND EXCLUDED.dt IS NOT NULL");
            if (!rows.ok())
                return failed(QStringLiteral("take the rows"), rows, w);
            Result texts = connection_->exec(
                "INSERT INTO ignivex.run_lines SELECT run_key, row_no, line FROM incoming "
                "ON CONFLICT DO NOTHING");
            if (!texts.ok())
                return failed(QStringLiteral("take the rows"), texts, w);
            // The row before this batch learns how long it stood, now its next is known.
            const double next = firstElapsed(lines);
            Result before = std::isfinite(next)
                ? connection_->exec(
                      "UPDATE ignivex.run_rows p SET dt = $3::double precision - p.t WHERE "
                      "p.run_key = $1 AND p.dt IS NULL AND p.row_no = (SELECT max(row_no) FROM "
                      "ignivex.run_rows WHERE run_key = $1 AND row_no < $2::integer AND status "
                      "IS NOT NULL)",
                      {k, number(firstRow), number(next)})
                : connection_->exec("SELECT 1");
            if (!before.ok())
                return failed(QStringLiteral("take the rows"), before, w);
            return true;
        },
        QStringLiteral("take the rows"), why);
}

std::optional<qint64> TeamStore::rowsHeld(const QString& id, QString* why) {
    const auto key = keyOf(id, why);
    if (!key)
        return std::nullopt;
    // The first row missing: the count when none is, else the first whose next is missing.
    Result r = connection_->exec(
        "SELECT CASE WHEN NOT EXISTS (SELECT FROM ignivex.run_rows WHERE run_key = $1 AND "
        "row_no = 0) THEN 0 ELSE (SELECT min(a.row_no) + 1 FROM ignivex.run_rows a WHERE "
        "a.run_key = $1 AND NOT EXISTS (SELECT FROM ignivex.run_rows b WHERE b.run_key = $1 "
        "AND b.row_no = a.row_no + 1)) END",
        {number(qint64(*key))});
    if (!r.ok()) {
        failed(QStringLiteral("be read"), r, why);
        return std::nullopt;
    }
    return r.integer(0, 0);
}

bool TeamStore::finishRun(const RunEntry& run, QString* why) {
    const auto key = keyOf(run.id, why);
    if (!key)
        return false;
    return inTransaction(
        [&](QString* w) {
            if (!putFigures(*key, run, w) || !insertTags(*key, run.tags, w))
                return false;
            Result whole = connection_->exec(
                "UPDATE ignivex.runs SET whole = true, note = CASE WHEN note = '' THEN $2 ELSE "
                "note END WHERE run_key = $1",
                {number(qint64(*key)), text(run.note)});
            if (!whole.ok())
                return failed(QStringLiteral("take the run"), whole, w);
            const QByteArray k = number(qint64(*key));
            Result drop = connection_->exec("DELETE FROM ignivex.run_steps WHERE run_key = $1", {k});
            Result steps = drop.ok() ? connection_->exec(
                                           "INSERT INTO ignivex.run_steps SELECT run_key, dt, "
                                           "count(*) FROM ignivex.run_rows WHERE run_key = $1 "
                                           "AND dt > 0 GROUP BY run_key, dt",
                                           {k})
                                     : Result();
            return steps.ok() || failed(QStringLiteral("take the run"), drop.ok() ? steps : drop, w);
        },
        QStringLiteral("take the run"), why);
}

bool TeamStore::publishRecording(const RunEntry& run, QString* why) {
    const auto parts = readParts(run.path, why);
    if (!parts || !beginRun(run.id, parts->top, run.path, why))
        return false;
    const auto held = rowsHeld(run.id, why);
    if (!held)
        return false;
    constexpr qsizetype kBatch = 20000;
    for (qsizetype from = *held; from < parts->lines.size(); from += kBatch) {
        if (!sendRows(run.id, from, parts->lines.mid(from, kBatch), why))
            return false;
    }
    return finishRun(run, why);
}

std::optional<QByteArray> TeamStore::recordingText(const QString& id, QString* why) {
    const auto key = keyOf(id, why);
    if (!key)
        return std::nullopt;
    Result top = connection_->exec("SELECT top FROM ignivex.runs WHERE run_key = $1",
                                   {number(qint64(*key))});
    Result lines = top.ok() ? connection_->exec(
                                  "SELECT line FROM ignivex.run_lines WHERE run_key = $1 "
                                  "ORDER BY row_no",
                                  {number(qint64(*key))})
                            : Result();
    if (!top.ok() || !lines.ok()) {
        failed(QStringLiteral("be read"), top.ok() ? lines : top, why);
        return std::nullopt;
    }
    QByteArray out = top.rows() == 1 ? top.text(0, 0).toUtf8() : QByteArray();
    for (int i = 0; i < lines.rows(); ++i)
        out += lines.text(i, 0).toUtf8() + '\n';
    return out;
}

}  // namespace ignivex::team
