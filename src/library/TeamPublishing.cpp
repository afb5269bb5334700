#include "library/TeamPublishing.h"

#include "team/Connection.h"
#include "team/TeamStore.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QtConcurrent>

namespace ignivex::library {

TeamPublishing::TeamPublishing(QObject* parent) : QObject(parent) {
    connect(&watcher_, &QFutureWatcher<PublishOutcome>::finished, this,
            [this] { emit finished(watcher_.result()); });
}

TeamPublishing::~TeamPublishing() {
    wait();
}

void TeamPublishing::wait() {
    cancel_ = true;
    watcher_.waitForFinished();
}

void TeamPublishing::start(const QString& url, const QList<catalog::RunEntry>& runs) {
    cancel_ = false;
    watcher_.setFuture(QtConcurrent::run([this, url, runs] {
        PublishOutcome out;
        QString why;
        auto store = team::TeamStore::open(url, &why);
        if (!store) {
            out.failure = why;
            return out;
        }
        for (qsizetype i = 0; i < runs.size(); ++i) {
            if (cancel_) {
                out.cancelled = true;
                break;
            }
            const catalog::RunEntry& run = runs[i];
            const QString name = QFileInfo(run.path).fileName();
            if (!QFileInfo(run.path).isFile()) {
                out.skipped << QStringLiteral("%1: it is no longer where the library found it")
                                   .arg(name);
            } else if (const auto known = store->run(run.id, &why); known && known->present) {
                out.skipped << QStringLiteral("%1: the team library has it already").arg(name);
            } else if (!store->add(run, &why) || !store->publishRecording(run, &why)) {
                out.failure = why;
                break;
            } else {
                ++out.sent;
            }
            QMetaObject::invokeMethod(
                this, [this, done = int(i + 1), of = int(runs.size())] { emit progressed(done, of); },
                Qt::QueuedConnection);
        }
        return out;
    }));
}

QString TeamPublishing::summary(const QString& url, const PublishOutcome& o) {
    QString text = QStringLiteral("%1 run(s) sent to the team library at %2.")
                       .arg(o.sent)
                       .arg(team::withoutPassword(url));
    if (o.cancelled)
        text += QStringLiteral(" Cancelled: the runs after these were not sent.");
    if (!o.skipped.isEmpty())
        text += QStringLiteral("\n\nNot sent:\n") + o.skipped.mid(0, 10).join(QLatin1Char('\n')) +
                (o.skipped.size() > 10 ? QStringLiteral("\n(and %1 more)").arg(o.skipped.size() - 10)
                                       : QString());
    if (!o.failure.isEmpty())
        text += QStringLiteral("\n\nSending stopped: %1 Publish again to send the rest; what the "
                               "server holds is not sent twice.")
                    .arg(o.failure);
    return text;
}

}  // namespace ignivex::library
