#include "team/SpoolSender.h"

#include "catalog/RunIndex.h"
#include "record/RecordFormat.h"
#include "team/Spool.h"
#include "team/TeamStore.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <algorithm>

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

// The recording's data lines from row `from` up to row `to` (not included; -1: to the end),
// whole lines only: a row cut short at the end is not one.
QList<QByteArray> recordingRows(const QString& recording, qint64 from, qint64 to) {
    QList<QByteArray> rows;
    QFile file(recording);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    bool inRows = false;
    for (qint64 row = 0; to < 0 || row < to;) {
        QByteArray line = file.readLine(1024 * 1024);
        if (!line.endsWith('\n'))
            break;
        line.chop(1);
        if (!inRows) {
            inRows = record::isHeaderRow(line);
            continue;
        }
        if (row++ >= from)
            rows << line;
    }
    return rows;
}

}  // namespace

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
        opened = TeamStore::open(head.url, &out.reason);
        if (!opened)
            return out;
        store = opened.get();
    }
    if (!store->beginRun(head.runId, top, head.recording, &out.reason))
        return out;
    const auto held = store->rowsHeld(head.runId, &out.reason);
    if (!held)
        return out;
    // Rows the spool does not hold come from the recording itself: those before it (a server
    // that lost what it had confirmed) and after it (rows that reached the recording but not
    // the spool, as a power cut can leave them).
    auto send = [&](qint64 first, const QList<QByteArray>& lines) {
        for (qsizetype at = 0; at < lines.size(); at += kRowsACall) {
            const QList<QByteArray> batch = lines.mid(at, kRowsACall);
            if (!store->sendRows(head.runId, first + at, batch, &out.reason))
                return false;
            out.rows += batch.size();
        }
        return true;
    };
    const qint64 spoolEnd = head.firstRow + spool->lines.size();
    if (*held < head.firstRow &&
        !send(*held, recordingRows(head.recording, *held, head.firstRow)))
        return out;
    const qint64 from = std::max(*held, head.firstRow);
    if (from < spoolEnd && !send(from, spool->lines.mid(from - head.firstRow)))
        return out;
    if (!send(std::max(from, spoolEnd),
              recordingRows(head.recording, std::max(from, spoolEnd), -1)))
        return out;
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
