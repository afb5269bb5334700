#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

namespace ignivex::team {

class TeamStore;

// How often a publisher sends the rows, and how soon a server that could not be reached is
// tried again.
struct PublishPace {
    int batchMs = 500;
    int retryMs = 5000;
};

// Sends a recording's rows to the team's server while it is being recorded. It lives on a
// thread of its own (every call of the server blocks), and is handed the rows by queued calls,
// so the logger never waits for the server. The rows wait in the spool beside the recording
// until the server has them: sent every half second, and while the server cannot be reached,
// tried again every few seconds.
class Publisher : public QObject {
    Q_OBJECT
public:
    // Rows kept in memory while they wait; beyond that the spool alone holds them, and they are
    // read back from it when the server is back.
    static constexpr qsizetype kRowsInMemory = 200000;

    Publisher(const QString& url, const QString& recording, PublishPace pace = {},
              QObject* parent = nullptr);
    ~Publisher() override;

    // The recording's top (its "#" lines, with the run's id, and its column line): once, first.
    Q_INVOKABLE void begin(const QByteArray& top);
    // Rows as the file has them, `firstRow` the number of the first.
    Q_INVOKABLE void take(qint64 firstRow, const QList<QByteArray>& lines);
    // The run ended: what waits is sent, and the run finished on the server. Then finished().
    Q_INVOKABLE void finish();

signals:
    // A line for the user.
    void said(const QString& line);
    // After finish(): how many rows still wait in the spool, the rows sent in all, whether the
    // run is whole on the server (the spool is then gone) and, when it is not, why.
    void finished(qint64 rowsWaiting, qint64 rowsSent, bool whole, const QString& why);

private:
    void sendWaiting();
    void retry();
    bool connectStore();
    // The server failed a call: lost, or a refusal. The rows stay in the spool.
    void failed(const QString& why, std::optional<bool> lost = std::nullopt);
    void rewriteSpool();
    void noteSpoolProblem(const QString& why);
    QString prefix() const;

    QString url_;
    QString recording_;
    QString spool_;
    QString runId_;
    QByteArray top_;
    std::unique_ptr<TeamStore> store_;
    bool begun_ = false;  // beginRun done on this connection
    qint64 firstWaiting_ = 0;
    qint64 rowsTaken_ = 0;  // rows handed over so far, sent or not
    QList<QByteArray> waiting_;
    bool onlyInSpool_ = false;  // waiting_ was let go: the spool holds the rows
    bool spoolWorks_ = true;
    qint64 sent_ = 0;
    enum class State { Starting, Connected, Lost, Refused } state_ = State::Starting;
    QString problem_;  // the last problem said, not said again
    QString lastWhy_;  // the server's last reason
    QTimer batch_;
    QTimer retry_;
};

}  // namespace ignivex::team
