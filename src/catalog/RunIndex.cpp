#include "catalog/RunIndex.h"

#include "analysis/Statistics.h"
#include "base/MessageText.h"
#include "record/RecordingReader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

namespace ignivex::catalog {

namespace {

QString detail(const record::Recording& r, const char* key) {
    for (const auto& [k, v] : r.details) {
        if (k == QLatin1String(key))
            return v.trimmed();
    }
    return {};
}

}  // namespace

QString contentId(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return {};
    return QStringLiteral("sha256:") + QString::fromLatin1(hash.result().toHex());
}

QString headerRunId(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<std::pair<QString, QString>> details;
    for (int i = 0; i < record::kDetailLinesKept && !f.atEnd(); ++i) {
        const QByteArray line = f.readLine(record::kDetailLineLength).trimmed();
        if (!line.startsWith('#'))
            break;
        if (const auto d = record::detailLine(line))
            details.append(*d);
    }
    return record::runIdOf(details);
}

IndexOutcome indexRecording(const record::Recording& recording) {
    IndexOutcome out;
    const record::Table& t = recording.table;
    if (t.empty()) {
        out.reason = QStringLiteral("it holds no row of a recording");
        return out;
    }
    RunEntry run;
    run.path = QFileInfo(recording.path).absoluteFilePath();
    run.id = record::runIdOf(recording.details);
    if (run.id.isEmpty())
        run.id = contentId(recording.path);
    if (run.id.isEmpty()) {
        out.reason = QStringLiteral("it could not be read again to know it by its content");
        return out;
    }
    run.started = QDateTime::fromString(detail(recording, "started"), Qt::ISODateWithMs);
    if (!run.started.isValid())
        run.started = QDateTime::fromMSecsSinceEpoch(t.wallMs.front(),
                                                     QTimeZone(t.utcOffsetSeconds));
    run.durationS = t.elapsed.back() - t.elapsed.front();
    run.rows = qint64(t.size());
    run.firmware = detail(recording, "firmware");
    run.mapRange = detail(recording, "map range");
    run.marks = qint64(t.userMarks.size());
    const analysis::Statistics stats = analysis::statistics(t, analysis::Span());
    for (record::ChannelId c = 0; c < t.channelCount(); ++c) {
        const analysis::ChannelStatistics& s = stats[std::size_t(c)];
        run.channels.push_back({t.channel(c).column, s.samples, s.min, s.max, s.mean});
    }
    out.run = std::move(run);
    return out;
}

IndexOutcome indexFile(const QString& path, const std::atomic<bool>* cancel) {
    IndexOutcome out;
    const QFileInfo info(path);
    if (!info.isFile()) {
        out.reason = info.exists() ? QStringLiteral("it is not an ordinary file")
                                   : QStringLiteral("it does not exist");
        return out;
    }
    record::ReadOptions options;
    options.cancel = cancel;
    record::ReadResult read = record::readRecording(path, options);
    if (read.cancelled) {
        out.cancelled = true;
        return out;
    }
    if (!read.recording) {
        // The reader's first line says what is wrong, naming the file, which the add's own
        // line names already: "it is not a recording: line 1 should be the header row".
        QString first = read.error.section(QLatin1Char('\n'), 0, 0).trimmed();
        const auto closing = first.indexOf(QLatin1String("\" "));
        if (first.startsWith(QLatin1Char('"')) && closing > 0)
            first = QStringLiteral("it ") + first.mid(closing + 2);
        out.reason = first.isEmpty() ? QStringLiteral("it is not a recording") : first;
        return out;
    }
    return indexRecording(*read.recording);
}

}  // namespace ignivex::catalog
