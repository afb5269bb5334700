#pragma once

#include "catalog/RunStore.h"
#include "catalog/Sqlite.h"

#include <memory>

namespace ignivex::catalog {

// The library in a SQLite file. The schema carries its version; a database of a newer version,
// a damaged one or one that is not a library is refused as it is found and never written to.
class SqliteRunStore final : public RunStore {
public:
    static constexpr int kSchemaVersion = 1;

    // Opens the library at `path`, making it (and its folder) when there is none. Nothing on
    // refusal, with a message for the user in `why`.
    static std::unique_ptr<SqliteRunStore> open(const QString& path, QString* why);

    QString location() const override { return path_; }
    std::optional<AddResult> add(const RunEntry& run, QString* why) override;
    std::optional<QList<AddResult>> addAll(const QList<RunEntry>& runs, QString* why) override;
    std::optional<QList<RunEntry>> find(const RunQuery& query, QString* why) override;
    std::optional<RunEntry> run(const QString& id, QString* why) override;
    std::optional<QString> idAt(const QString& path, QString* why) override;
    bool addTags(const QString& id, const QStringList& tags, QString* why) override;
    bool removeTag(const QString& id, const QString& tag, QString* why) override;
    bool setNote(const QString& id, const QString& note, QString* why) override;
    bool remove(const QString& id, QString* why) override;
    std::optional<QStringList> allTags(QString* why) override;

private:
    SqliteRunStore(sqlite::Database db, QString path) : db_(std::move(db)), path_(std::move(path)) {}
    std::optional<AddResult> addOne(const RunEntry& run, QString* why);
    bool insertTags(const QString& id, const QStringList& tags, QString* why);
    // The run's search text (file name, tags, note, firmware), lower case, brought up to date.
    bool refreshSearch(const QString& id, QString* why);
    bool failed(const QString& what, QString* why) const;
    std::optional<QList<RunEntry>> runsOf(sqlite::Statement& select, QString* why);

    sqlite::Database db_;
    QString path_;
};

}  // namespace ignivex::catalog
