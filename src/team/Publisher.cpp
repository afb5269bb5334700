#include "team/Publisher.h"

#include "team/Connection.h"

#include "team/Spool.h"
#include "team/SpoolSender.h"
#include "team/TeamStore.h"

#include <QDir>

#include <algorithm>

namespace ignivex::team {

namespace {

constexpr qsizetype kRowsACall = 4000;

// The store's reason inside a sentence of ours: without its full stop.
QString clause(QString why) {
    why = why.trimmed();
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    return why;
}

QString idOf(const QByteArray& top) {
    for (const QByteArray& line : top.split('\n')) {
        if (line.startsWith("# id: "))
            return QString::fromUtf8(line.mid(6)).trimmed();
    }
    return {};
}

}  // namespace

Publisher::Publisher(const QString& url, const QString& recording, PublishPace pace, QObject* parent)
    : QObject(parent),
      url_(url),
      recording_(recording),
      spool_(spoolPathFor(recording)),
      batch_(this),
      retry_(this) {
    batch_.setInterval(pace.batchMs);
    retry_.setInterval(pace.retryMs);
    connect(&batch_, &QTimer::timeout, this, &Publisher::sendWaiting);
    connect(&retry_, &QTimer::timeout, this, &Publisher::retry);
}

Publisher::~Publisher() = default;

QString Publisher::prefix() const {
    return QStringLiteral("Publishing to %1: ").arg(withoutPassword(url_));
}

void Publisher::begin(const QByteArray& top) {
    top_ = top;
    runId_ = idOf(top);
    QString why;
    if (!writeSpool(spool_, {{url_, runId_, recording_, 0}, {}, false}, &why))
        noteSpoolProblem(why);
    batch_.start();
    if (connectStore())
        state_ = State::Connected;
}

void Publisher::take(qint64 firstRow, const QList<QByteArray>& lines) {
    if (waiting_.isEmpty() && !onlyInSpool_)
        firstWaiting_ = firstRow;
    rowsTaken_ = firstRow + lines.size();
    if (!onlyInSpool_) {
        waiting_ += lines;
        // Hours without the server: memory is let go, the spool keeps the rows.
        if (waiting_.size() > kRowsInMemory && spoolWorks_) {
            waiting_.clear();
            onlyInSpool_ = true;
        }
    }
    QString why;
    if (spoolWorks_ && !appendToSpool(spool_, lines, &why))
        noteSpoolProblem(why);
}

bool Publisher::connectStore() {
    QString why;
    if (!store_) {
        bool reached = false;
        store_ = TeamStore::open(url_, &why, &reached);
        begun_ = false;
        if (!store_) {
            // A library the server refuses (a newer version, another program's tables) is
            // not a server away: the user is told the refusal.
            failed(why, !reached);
            return false;
        }
    }
    if (!begun_ && !store_->beginRun(runId_, top_, recording_, &why)) {
        failed(why);
        return false;
    }
    begun_ = true;
    return true;
}

void Publisher::sendWaiting() {
    if (state_ != State::Connected)
        return;
    if (onlyInSpool_) {
        QString why;
        const auto spool = readSpool(spool_, &why);
        if (!spool) {
            noteSpoolProblem(why);
            return;
        }
        waiting_ = spool->lines;
        firstWaiting_ = spool->head.firstRow;
        onlyInSpool_ = false;
    }
    if (waiting_.isEmpty())
        return;
    while (!waiting_.isEmpty()) {
        const QList<QByteArray> batch = waiting_.mid(0, kRowsACall);
        QString why;
        if (!store_->sendRows(runId_, firstWaiting_, batch, &why)) {
            failed(why);
            rewriteSpool();
            return;
        }
        waiting_.remove(0, batch.size());
        firstWaiting_ += batch.size();
        sent_ += batch.size();
    }
    rewriteSpool();
}

void Publisher::retry() {
    const qint64 before = sent_;
    const bool wasLost = state_ == State::Lost;
    if (!connectStore())
        return;
    state_ = State::Connected;
    sendWaiting();
    if (state_ != State::Connected)
        return;
    retry_.stop();
    problem_.clear();
    emit said(prefix() + (wasLost ? QStringLiteral("the server is back: %1 rows sent.")
                                  : QStringLiteral("the server takes the rows again: %1 rows "
                                                   "sent."))
                             .arg(sent_ - before));
}

void Publisher::failed(const QString& why, std::optional<bool> gone) {
    lastWhy_ = why;
    const bool lost = gone ? *gone : !store_ || store_->lostConnection();
    if (lost)
        store_.reset();
    const bool stateChanged = state_ != (lost ? State::Lost : State::Refused);
    state_ = lost ? State::Lost : State::Refused;
    retry_.start();
    const QString spool = QDir::toNativeSeparators(spool_);
    const QString text =
        lost ? prefix() + QStringLiteral("the server cannot be reached (%1); rows wait in %2 and "
                                         "go when it is back.")
                              .arg(clause(why), spool)
             : prefix() + QStringLiteral("the server refused the rows: %1. They wait in %2; they "
                                         "are offered again every %3 s.")
                              .arg(clause(why), spool)
                              .arg(double(retry_.interval()) / 1000);
    // One line a stretch of trouble, not one every few seconds: a server that went away and
    // then cannot be reached is one stretch.
    if (stateChanged || (!lost && text != problem_))
        emit said(text);
    problem_ = text;
}

void Publisher::rewriteSpool() {
    if (!spoolWorks_ || onlyInSpool_)
        return;
    QString why;
    if (!writeSpool(spool_, {{url_, runId_, recording_, firstWaiting_}, waiting_, false}, &why))
        noteSpoolProblem(why);
}

void Publisher::noteSpoolProblem(const QString& why) {
    if (!spoolWorks_)
        return;
    spoolWorks_ = false;
    emit said(prefix() + QStringLiteral("%1; the rows the server has not had are kept in memory "
                                        "only (and in %2).")
                             .arg(why, QDir::toNativeSeparators(recording_)));
    if (onlyInSpool_) {
        // Nothing to read them back from: they stay waiting in the recording alone.
        onlyInSpool_ = false;
    }
}

void Publisher::finish() {
    batch_.stop();
    retry_.stop();
    if (rowsTaken_ == 0) {
        // The recording ended without a row and is gone: no run to finish, nothing to keep.
        QString why;
        removeSpool(spool_, &why);
        store_.reset();
        emit finished(0, 0, false, QStringLiteral("no row was recorded"));
        return;
    }
    if (state_ != State::Connected && connectStore())
        state_ = State::Connected;
    sendWaiting();
    qint64 waiting = rowsTaken_ - firstWaiting_;
    bool whole = false;
    QString why = lastWhy_;
    if (state_ == State::Connected && !spoolWorks_) {
        why = QStringLiteral("the spool could not be written, so the rows are not all known");
    } else if (state_ == State::Connected) {
        // The spool holds no row now, or the ones the last send did not get through: either way
        // it says what the server lacks, and finishing the run goes through it.
        const SpoolSent sent = sendSpool(spool_, store_.get());
        sent_ += sent.rows;
        whole = sent.result == SpoolSent::Result::Sent;
        waiting = whole ? 0 : std::max<qint64>(0, waiting - sent.rows);
        why = sent.reason;
    }
    store_.reset();
    emit finished(waiting, sent_, whole, clause(why));
}

}  // namespace ignivex::team
