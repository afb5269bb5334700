#pragma once

#include "catalog/RunStore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace ignivex::team {

class Connection;
class Result;

// The library on a team's PostgreSQL server: the same calls as the local library, and the
// runs' rows, so any PC of the team opens and compares runs it never had on disk. The
// connection is libpq's, addressed by a URL ("postgresql://ana@server:5432/tuning"); the
// password and TLS come as PostgreSQL's own clients take them (~/.pgpass, PGPASSFILE,
// PGPASSWORD, sslmode in the URL or PGSSLMODE). Every call blocks until the server answers:
// use it off the window's thread.
class TeamStore : public catalog::RunStore {
public:
    ~TeamStore() override;

    // Connects, and creates the schema or upgrades it to this program's version; a database
    // whose schema is newer, or that holds tables of another kind under our names, is refused
    // and left as it is. Nothing on failure, with the reason in `why`; `reached` (when given)
    // tells whether the server answered, so a refusal is told from a server not reached.
    static std::unique_ptr<TeamStore> open(const QString& url, QString* why,
                                           bool* reached = nullptr);

    // True when the last failure was the server going away or not being reached (the same
    // call may work later), false when the server answered with a refusal.
    bool lostConnection() const;

    // --- catalog::RunStore. add() and addAll() take the run's place, figures, tags and note;
    // publishRecording() also sends the rows.
    QString location() const override;
    std::optional<catalog::AddResult> add(const catalog::RunEntry& run, QString* why) override;
    std::optional<QList<catalog::AddResult>> addAll(const QList<catalog::RunEntry>& runs,
                                                    QString* why) override;
    std::optional<QList<catalog::RunEntry>> find(const catalog::RunQuery& query,
                                                 QString* why) override;
    std::optional<catalog::RunEntry> run(const QString& id, QString* why) override;
    std::optional<QString> idAt(const QString& path, QString* why) override;
    bool addTags(const QString& id, const QStringList& tags, QString* why) override;
    bool removeTag(const QString& id, const QString& tag, QString* why) override;
    bool setNote(const QString& id, const QString& note, QString* why) override;
    bool remove(const QString& id, QString* why) override;
    std::optional<QStringList> allTags(QString* why) override;

    // --- Publishing, row by row as a logger writes them. Safe to repeat: a row the server
    // holds already (same run, same row number) is kept once.
    //
    // Makes the run known with its file's top (the "#" lines and the column line), so its rows
    // can be opened from the server. Known already: nothing changes.
    bool beginRun(const QString& id, const QByteArray& top, const QString& path, QString* why);
    // Rows `firstRow`, `firstRow` + 1, ... (counted from 0, the first data row of the file):
    // each a data line as the file has it, without its line end.
    bool sendRows(const QString& id, qint64 firstRow, const QList<QByteArray>& lines,
                  QString* why);
    // The run is whole: its figures, tags and note as the file gives them.
    bool finishRun(const catalog::RunEntry& run, QString* why);
    // How many of the run's rows the server holds, from the first on without a gap.
    std::optional<qint64> rowsHeld(const QString& id, QString* why);
    // A recording file whole, its rows and its entry: beginRun, sendRows in batches, finishRun.
    bool publishRecording(const catalog::RunEntry& run, QString* why);

    // The run's file as the server holds it: its top and its rows, in order.
    std::optional<QByteArray> recordingText(const QString& id, QString* why);

    Connection& connection();

private:
    explicit TeamStore(std::unique_ptr<Connection> connection);
    // False, with the reason for a user in `why`: the server gone, a role that may only read,
    // or the server's own text.
    bool failed(const QString& what, const Result& result, QString* why) const;
    std::optional<int> keyOf(const QString& id, QString* why);
    bool inTransaction(const std::function<bool(QString*)>& work, const QString& what,
                       QString* why);
    std::optional<catalog::AddResult> addOne(const catalog::RunEntry& run, QString* why);
    bool putFigures(int key, const catalog::RunEntry& run, QString* why);
    bool insertTags(int key, const QStringList& tags, QString* why);
    std::optional<QList<catalog::RunEntry>> runsOf(const QByteArray& sql,
                                                   const QList<QByteArray>& parameters,
                                                   QString* why);
    std::unique_ptr<Connection> connection_;
};

}  // namespace ignivex::team
