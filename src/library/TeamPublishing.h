#pragma once

#include "catalog/RunEntry.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>

// Runs of the local library sent to a team's library with their rows, in a worker thread (the
// server may be slow or gone; the window never waits for it). A run the server holds whole
// already is not sent again, and one sent in part goes on from the row it holds.
namespace ignivex::library {

struct PublishOutcome {
    int sent = 0;
    QStringList skipped;  // "run3.csv: it is no longer where the library found it"
    QString failure;      // the server refused or went away: nothing after it was sent
    bool cancelled = false;
};

class TeamPublishing : public QObject {
    Q_OBJECT
public:
    explicit TeamPublishing(QObject* parent = nullptr);
    ~TeamPublishing() override;

    void start(const QString& url, const QList<catalog::RunEntry>& runs);
    bool running() const { return watcher_.isRunning(); }
    void cancel() { cancel_ = true; }
    // Waits for the worker (the window closing).
    void wait();

    // The text the user is told at the end.
    static QString summary(const QString& url, const PublishOutcome& outcome);

signals:
    // Runs done so far, of how many.
    void progressed(int done, int of);
    void finished(const PublishOutcome& outcome);

private:
    QFutureWatcher<PublishOutcome> watcher_;
    std::atomic<bool> cancel_{false};
};

}  // namespace ignivex::library
