#include "catalog/SqliteRunStore.h"

#include "base/MessageText.h"
#include "catalog/SearchText.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>
#include <algorithm>

namespace ignivex::catalog {

namespace {

const char* const kSchema = R"(
CREATE TABLE library_schema (name TEXT NOT NULL, version INTEGER NOT NULL);
CREATE TABLE runs (
    id TEXT PRIMARY KEY,
    path TEXT NOT NULL,
    started TEXT NOT NULL,
    started_ms INTEGER NOT NULL,
    duration_s REAL NOT NULL,
    rows INTEGER NOT NULL,
    firmware TEXT NOT NULL,
    map_range TEXT NOT NULL,
    marks INTEGER NOT NULL,
    note TEXT NOT NULL DEFAULT '',
    search TEXT NOT NULL DEFAULT ''
);
CREATE INDEX runs_path ON runs (path);
CREATE INDEX runs_started ON runs (started_ms);
CREATE TABLE channels (
    run_id TEXT NOT NULL REFERENCES runs (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    name TEXT NOT NULL,
    samples INTEGER NOT NULL,
    min REAL, max REAL, mean REAL,
    PRIMARY KEY (run_id, position)
);
CREATE TABLE tags (
    run_id TEXT NOT NULL REFERENCES runs (id) ON DELETE CASCADE,
    tag TEXT NOT NULL,
    PRIMARY KEY (run_id, tag)
);
CREATE INDEX tags_tag ON tags (tag);
)";

const char* const kSchemaName = "ignivex-log runs";

QString shown(const QString& path) {
    return readablePath(QDir::toNativeSeparators(path));
}

}  // namespace

std::unique_ptr<SqliteRunStore> SqliteRunStore::open(const QString& path, QString* why) {
    const QFileInfo info(path);
    const bool fresh = !info.exists();
    if (fresh && !QDir().mkpath(info.absolutePath())) {
        *why = QStringLiteral("The library's folder %1 cannot be made. Check that you may write "
                              "there, or give another library with --library.")
                   .arg(shown(info.absolutePath()));
        return nullptr;
    }
    if (!fresh && !info.isFile()) {
        *why = QStringLiteral("%1 is not a file, so it cannot hold the library. Move it away, or "
                              "give another library with --library.")
                   .arg(shown(path));
        return nullptr;
    }
    QString reason;
    auto db = sqlite::Database::open(path, fresh, &reason);
    if (!db) {
        *why = QStringLiteral("The library %1 cannot be opened: %2. Check that you may read and "
                              "write it.")
                   .arg(shown(path), reason);
        return nullptr;
    }
    const QString damaged = QStringLiteral(
        "The library %1 is damaged (%2) and was left as it is. Move it away to start a new "
        "library (the recordings themselves are not in it), or restore a copy.");

    // A file that is no database, or a damaged one, fails here before anything is written.
    int tables = 0;
    {
        sqlite::Statement count(*db, "SELECT count(*) FROM sqlite_master");
        if (!count.ok() || !count.step()) {
            *why = damaged.arg(shown(path), db->lastError());
            return nullptr;
        }
        tables = int(count.integer(0));
    }
    if (tables == 0) {
        // A new library (or an empty file made for it).
        sqlite::Transaction t(*db);
        if (!t.began() || !db->exec(kSchema, &reason)) {
            *why = QStringLiteral("The library %1 cannot be made: %2. Check that you may write "
                                  "there.")
                       .arg(shown(path), reason.isEmpty() ? db->lastError() : reason);
            return nullptr;
        }
        sqlite::Statement put(*db, "INSERT INTO library_schema (name, version) VALUES (?, ?)");
        put.bind(1, QString::fromLatin1(kSchemaName)).bind(2, kSchemaVersion);
        put.step();
        if (!put.done() || !t.commit(&reason)) {
            *why = QStringLiteral("The library %1 cannot be made: %2.")
                       .arg(shown(path), reason.isEmpty() ? db->lastError() : reason);
            return nullptr;
        }
    } else {
        sqlite::Statement version(*db, "SELECT name, version FROM library_schema");
        if (!version.ok()) {
            *why = QStringLiteral("%1 is a database but not a library of runs, and was left as "
                                  "it is. Give another file with --library, or move it away.")
                       .arg(shown(path));
            return nullptr;
        }
        if (!version.step() || version.text(0) != QLatin1String(kSchemaName)) {
            *why = damaged.arg(shown(path), QStringLiteral("its version is missing"));
            return nullptr;
        }
        const qint64 v = version.integer(1);
        if (v > kSchemaVersion) {
            *why = QStringLiteral("The library %1 was made by a newer version of Ignivex Log "
                                  "(library version %2; this one knows up to %3) and was left "
                                  "as it is. Update Ignivex Log to use it.")
                       .arg(shown(path))
                       .arg(v)
                       .arg(kSchemaVersion);
            return nullptr;
        }
        if (v < 1) {
            *why = damaged.arg(shown(path), QStringLiteral("its version %1 is none").arg(v));
            return nullptr;
        }
        sqlite::Statement check(*db, "PRAGMA quick_check");
        if (!check.ok() || !check.step() || check.text(0) != u"ok") {
            *why = damaged.arg(shown(path),
                               check.ok() ? readable(check.text(0), 80) : db->lastError());
            return nullptr;
        }
    }
    db->exec("PRAGMA foreign_keys = ON", nullptr);
    return std::unique_ptr<SqliteRunStore>(new SqliteRunStore(std::move(*db), path));
}

bool SqliteRunStore::failed(const QString& what, QString* why) const {
    if (why)
        *why = QStringLiteral("The library %1 could not %2: %3.")
                   .arg(shown(path_), what, db_.lastError());
    return false;
}

std::optional<AddResult> SqliteRunStore::add(const RunEntry& run, QString* why) {
    const auto results = addAll({run}, why);
    if (!results)
        return std::nullopt;
    return results->first();
}

std::optional<QList<AddResult>> SqliteRunStore::addAll(const QList<RunEntry>& runs, QString* why) {
    sqlite::Transaction t(db_);
    if (!t.began()) {
        failed(QStringLiteral("be written"), why);
        return std::nullopt;
    }
    QList<AddResult> results;
    for (const RunEntry& run : runs) {
        const auto result = addOne(run, why);
        if (!result)
            return std::nullopt;
        results << *result;
    }
    QString reason;
    if (!t.commit(&reason)) {
        *why = QStringLiteral("The library %1 could not be written: %2.").arg(shown(path_), reason);
        return std::nullopt;
    }
    return results;
}

std::optional<AddResult> SqliteRunStore::addOne(const RunEntry& run, QString* why) {
    const QString path = QFileInfo(run.path).absoluteFilePath();
    AddResult result = AddResult::Added;
    {
        sqlite::Statement known(db_, "SELECT path FROM runs WHERE id = ?");
        known.bind(1, run.id);
        if (known.step())
            result = known.text(0) == path ? AddResult::Known : AddResult::Moved;
        else if (!known.done())
            return failed(QStringLiteral("be read"), why), std::nullopt;
    }
    if (result == AddResult::Moved) {
        sqlite::Statement move(db_, "UPDATE runs SET path = ? WHERE id = ?");
        move.bind(1, path).bind(2, run.id);
        move.step();
        if (!move.done())
            return failed(QStringLiteral("be written"), why), std::nullopt;
    } else if (result == AddResult::Added) {
        sqlite::Statement put(db_,
                              "INSERT INTO runs (id, path, started, started_ms, duration_s, rows, "
                              "firmware, map_range, marks, note) VALUES (?,?,?,?,?,?,?,?,?,?)");
        put.bind(1, run.id)
            .bind(2, path)
            .bind(3, run.started.toString(Qt::ISODateWithMs))
            .bind(4, run.started.isValid() ? run.started.toMSecsSinceEpoch() : qint64(0))
            .bind(5, run.durationS)
            .bind(6, run.rows)
            .bind(7, run.firmware)
            .bind(8, run.mapRange)
            .bind(9, run.marks)
            .bind(10, run.note);
        put.step();
        if (!put.done())
            return failed(QStringLiteral("be written"), why), std::nullopt;
        sqlite::Statement channel(db_, "INSERT INTO channels (run_id, position, name, samples, "
                                       "min, max, mean) VALUES (?,?,?,?,?,?,?)");
        for (std::size_t i = 0; i < run.channels.size(); ++i) {
            const ChannelFigures& c = run.channels[i];
            channel.reset();
            channel.bind(1, run.id).bind(2, qint64(i)).bind(3, c.column).bind(4, c.samples);
            if (c.samples > 0)
                channel.bind(5, c.min).bind(6, c.max).bind(7, c.mean);
            channel.step();
            if (!channel.done())
                return failed(QStringLiteral("be written"), why), std::nullopt;
        }
    }
    if (!insertTags(run.id, run.tags, why) || !refreshSearch(run.id, why))
        return std::nullopt;
    return result;
}

bool SqliteRunStore::insertTags(const QString& id, const QStringList& tags, QString* why) {
    sqlite::Statement put(db_, "INSERT OR IGNORE INTO tags (run_id, tag) VALUES (?, ?)");
    for (const QString& tag : cleanTags(tags)) {
        put.reset();
        put.bind(1, id).bind(2, tag);
        put.step();
        if (!put.done())
            return failed(QStringLiteral("be written"), why);
    }
    return true;
}

bool SqliteRunStore::refreshSearch(const QString& id, QString* why) {
    sqlite::Statement set(
        db_,
        "UPDATE runs SET search = lower(path || ' ' || firmware || ' ' || note || ' ' || "
        "coalesce((SELECT group_concat(tag, ' ') FROM tags WHERE run_id = runs.id), '')) "
        "WHERE id = ?");
    set.bind(1, id);
    set.step();
    return set.done() || failed(QStringLiteral("be written"), why);
}

std::optional<QList<RunEntry>> SqliteRunStore::runsOf(sqlite::Statement& select, QString* why) {
    QList<RunEntry> runs;
    sqlite::Statement tags(db_, "SELECT tag FROM tags WHERE run_id = ? ORDER BY tag");
    sqlite::Statement channels(db_, "SELECT name, samples, min, max, mean FROM channels "
                                    "WHERE run_id = ? ORDER BY position");
    while (select.step()) {
        RunEntry r;
        r.id = select.text(0);
        r.path = select.text(1);
        r.started = QDateTime::fromString(select.text(2), Qt::ISODateWithMs);
        r.durationS = select.real(3);
        r.rows = select.integer(4);
        r.firmware = select.text(5);
        r.mapRange = select.text(6);
        r.marks = select.integer(7);
        r.note = select.text(8);
        r.present = QFileInfo(r.path).isFile();
        tags.reset();
        tags.bind(1, r.id);
        while (tags.step())
            r.tags << tags.text(0);
        channels.reset();
        channels.bind(1, r.id);
        while (channels.step())
            r.channels.push_back({channels.text(0), channels.integer(1), channels.real(2),
                                  channels.real(3), channels.real(4)});
        runs << r;
    }
    if (!select.done()) {
        failed(QStringLiteral("be read"), why);
        return std::nullopt;
    }
    return runs;
}

std::optional<QList<RunEntry>> SqliteRunStore::find(const RunQuery& q, QString* why) {
    QByteArray sql = "SELECT id, path, started, duration_s, rows, firmware, map_range, marks, "
                     "note FROM runs WHERE 1";
    const QStringList words = searchWords(q.text);
    for (qsizetype i = 0; i < words.size(); ++i)
        sql += " AND search LIKE ? ESCAPE '\\'";
    if (q.from.isValid())
        sql += " AND started_ms >= ?";
    if (q.to.isValid())
        sql += " AND started_ms <= ?";
    if (q.minDurationS > 0)
        sql += " AND duration_s >= ?";
    if (q.maxDurationS >= 0)
        sql += " AND duration_s <= ?";
    if (!q.tag.isEmpty())
        sql += " AND id IN (SELECT run_id FROM tags WHERE tag = ?)";
    sql += " ORDER BY started_ms DESC, path";
    sqlite::Statement select(db_, sql.constData());
    if (!select.ok()) {
        failed(QStringLiteral("be read"), why);
        return std::nullopt;
    }
    int n = 1;
    for (const QString& w : words)
        select.bind(n++, likePattern(w));
    if (q.from.isValid())
        select.bind(n++, q.from.toMSecsSinceEpoch());
    if (q.to.isValid())
        select.bind(n++, q.to.toMSecsSinceEpoch());
    if (q.minDurationS > 0)
        select.bind(n++, q.minDurationS);
    if (q.maxDurationS >= 0)
        select.bind(n++, q.maxDurationS);
    if (!q.tag.isEmpty())
        select.bind(n++, q.tag.simplified());
    return runsOf(select, why);
}

std::optional<RunEntry> SqliteRunStore::run(const QString& id, QString* why) {
    sqlite::Statement select(db_, "SELECT id, path, started, duration_s, rows, firmware, "
                                  "map_range, marks, note FROM runs WHERE id = ?");
    select.bind(1, id);
    auto runs = runsOf(select, why);
    if (!runs)
        return std::nullopt;
    if (runs->isEmpty()) {
        *why = QStringLiteral("The library has no run %1. --library-list shows the runs and "
                              "their ids.")
                   .arg(readable(id, 80));
        return std::nullopt;
    }
    return runs->first();
}

std::optional<QString> SqliteRunStore::idAt(const QString& path, QString* why) {
    sqlite::Statement select(db_, "SELECT id FROM runs WHERE path = ?");
    select.bind(1, QFileInfo(path).absoluteFilePath());
    if (select.step())
        return select.text(0);
    if (!select.done())
        failed(QStringLiteral("be read"), why);
    return std::nullopt;
}

bool SqliteRunStore::addTags(const QString& id, const QStringList& tags, QString* why) {
    if (!run(id, why))
        return false;
    sqlite::Transaction t(db_);
    if (!insertTags(id, tags, why) || !refreshSearch(id, why))
        return false;
    QString reason;
    return t.commit(&reason) || failed(QStringLiteral("be written"), why);
}

bool SqliteRunStore::removeTag(const QString& id, const QString& tag, QString* why) {
    sqlite::Transaction t(db_);
    sqlite::Statement drop(db_, "DELETE FROM tags WHERE run_id = ? AND tag = ?");
    drop.bind(1, id).bind(2, tag);
    drop.step();
    if (!drop.done() || !refreshSearch(id, why))
        return failed(QStringLiteral("be written"), why);
    QString reason;
    return t.commit(&reason) || failed(QStringLiteral("be written"), why);
}

bool SqliteRunStore::setNote(const QString& id, const QString& note, QString* why) {
    sqlite::Transaction t(db_);
    sqlite::Statement set(db_, "UPDATE runs SET note = ? WHERE id = ?");
    set.bind(1, note.simplified()).bind(2, id);
    set.step();
    if (!set.done() || !refreshSearch(id, why))
        return failed(QStringLiteral("be written"), why);
    QString reason;
    return t.commit(&reason) || failed(QStringLiteral("be written"), why);
}

bool SqliteRunStore::remove(const QString& id, QString* why) {
    sqlite::Statement drop(db_, "DELETE FROM runs WHERE id = ?");
    drop.bind(1, id);
    drop.step();
    return drop.done() || failed(QStringLiteral("be written"), why);
}

std::optional<QStringList> SqliteRunStore::allTags(QString* why) {
    sqlite::Statement select(db_, "SELECT DISTINCT tag FROM tags ORDER BY tag");
    QStringList tags;
    while (select.step())
        tags << select.text(0);
    if (!select.done()) {
        failed(QStringLiteral("be read"), why);
        return std::nullopt;
    }
    return tags;
}

}  // namespace ignivex::catalog
