#include "team/SpoolSender.h"

#include "catalog/RunIndex.h"
#include "record/RecordFormat.h"
#include "team/Spool.h"
#include "team/TeamStore.h"

#include <QDir>
#include <QFile>
#include <QUrl>

namespace ignivex::team {

namespace {

// Rows a call sends at most: a few hundred kilobytes.
constexpr qsizetype kRowsACall = 4000;

// The recording's "#" lines and its column line, as beginRun takes them; empty when the file
// cannot be read or has no column line in its first 64 KB.
QByteArray topOf(const QString& recording) {
    QFile file(recording);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray top;
    while (top.size() < 64 * 1024) {
        const QByteArray line = file.readLine(64 * 1024);
        if (line.isEmpty())
            return {};
        top += line;
        if (record::isHeaderRow(line.trimmed()))
            return top;
    }
    return {};
}

}  // namespace

QString shownUrl(const QString& url) {
    QUrl u(url);
    if (!u.isValid() || u.password().isEmpty())
        return url;
    u.setPassword({});
    return u.toString();
}

QString withConnectTimeout(const QString& url) {
    const bool uri = url.startsWith(QLatin1String("postgresql://")) ||
                     url.startsWith(QLatin1String("postgres://"));
    if (url.contains(QLatin1String("connect_timeout")))
        return url;
    if (uri)
        return url + (url.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
               QStringLiteral("connect_timeout=10");
    return url + QStringLiteral(" connect_timeout=10");  // key=value form
}

SpoolSent sendSpool(const QString& spoolPath, TeamStore* given) {
    SpoolSent out;
    const auto spool = readSpool(spoolPath, &out.reason);
    if (!spool) {
        out.result = SpoolSent::Result::Damaged;
        return out;
    }
    const SpoolHead& head = spool->head;
    out.runId = head.runId;
    out.recording = head.recording;
    const QString file = QDir::toNativeSeparators(head.recording);
    // The run is finished with its file's figures: without the file it cannot be.
    if (catalog::headerRunId(head.recording) != head.runId) {
        out.reason = QFile::exists(head.recording)
                         ? QStringLiteral("%1 now holds another run than the one whose rows "
                                          "wait; the spool's rows stay")
                               .arg(file)
                         : QStringLiteral("its recording %1 is not there").arg(file);
        return out;
    }
    const QByteArray top = topOf(head.recording);
    if (top.isEmpty()) {
        out.reason = QStringLiteral("the top of %1 could not be read").arg(file);
        return out;
    }
    std::unique_ptr<TeamStore> opened;
    TeamStore* store = given;
    if (!store) {
        opened = TeamStore::open(withConnectTimeout(head.url), &out.reason);
        if (!opened)
            return out;
        store = opened.get();
    }
    if (!store->beginRun(head.runId, top, head.recording, &out.reason))
        return out;
    const auto held = store->rowsHeld(head.runId, &out.reason);
    if (!held)
        return out;
    if (*held < head.firstRow) {
        out.reason = QStringLiteral("the server holds the rows up to %1, but the spool's begin at "
                                    "%2")
                         .arg(*held)
                         .arg(head.firstRow);
        return out;
    }
    const qint64 total = spool->lines.size();
    for (qint64 at = *held - head.firstRow; at < total; at += kRowsACall) {
        const QList<QByteArray> batch = spool->lines.mid(at, kRowsACall);
        if (!store->sendRows(head.runId, head.firstRow + at, batch, &out.reason))
            return out;
        out.rows += batch.size();
    }
    catalog::IndexOutcome indexed = catalog::indexFile(head.recording);
    if (!indexed.run) {
        out.reason = indexed.reason;
        return out;
    }
    if (!store->finishRun(*indexed.run, &out.reason))
        return out;
    if (!removeSpool(spoolPath, &out.reason))
        return out;
    out.result = SpoolSent::Result::Sent;
    out.reason.clear();
    return out;
}

}  // namespace ignivex::team
