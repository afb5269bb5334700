#pragma once

#include "catalog/RunEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The library of runs, whatever keeps it: the local SQLite database now; a server's store
// implements the same calls.
namespace ignivex::catalog {

// What is asked of the list: words to find anywhere in the file name, the tags, the note or
// the firmware (every word must be found), a day range, a duration range, a tag.
struct RunQuery {
    QString text;
    QDateTime from, to;  // null: no bound
    double minDurationS = 0;
    double maxDurationS = -1;  // below 0: no bound
    QString tag;               // empty: any
};

enum class AddResult {
    Added,  // a run the library did not know
    Known,  // the same run, at the same place
    Moved,  // the same run (by its id) found at another place: its place is updated
};

class RunStore {
public:
    virtual ~RunStore() = default;

    // Where the store is, for messages ("/home/ana/.local/share/Ignivex_Log/library.sqlite").
    virtual QString location() const = 0;

    // Adds the run, or updates the place of the one of the same id; its tags are added to
    // those it has. Nothing on failure, with the reason in `why`.
    virtual std::optional<AddResult> add(const RunEntry& run, QString* why) = 0;
    // Many at once, in one transaction: the results in their order.
    virtual std::optional<QList<AddResult>> addAll(const QList<RunEntry>& runs, QString* why) = 0;

    // The runs asked for, newest first; their `present` tells whether the file is still there.
    virtual std::optional<QList<RunEntry>> find(const RunQuery& query, QString* why) = 0;
    virtual std::optional<RunEntry> run(const QString& id, QString* why) = 0;
    // The id of the run at that place, if the library has one there.
    virtual std::optional<QString> idAt(const QString& path, QString* why) = 0;

    // False with the reason when the run is unknown or the store fails.
    virtual bool addTags(const QString& id, const QStringList& tags, QString* why) = 0;
    virtual bool removeTag(const QString& id, const QString& tag, QString* why) = 0;
    virtual bool setNote(const QString& id, const QString& note, QString* why) = 0;
    // Forgets the run; its file stays where it is.
    virtual bool remove(const QString& id, QString* why) = 0;
    virtual std::optional<QStringList> allTags(QString* why) = 0;
};

}  // namespace ignivex::catalog
