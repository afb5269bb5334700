#include "analysis/Section.h"

#include "base/Readable.h"
#include "record/RecordFormat.h"
#include "record/RecordingReader.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace ignivex::analysis {

namespace {

QString named(const QString& path) {
    return QStringLiteral("\"%1\"").arg(readablePath(QDir::toNativeSeparators(path)));
}

QByteArray seconds(double s) {
    return QByteArray::number(s, 'f', 3) + " s";
}

}  // namespace

std::optional<qint64> writeSection(const QString& source, const QString& target, const Span& span,
                                   QString* error) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 cannot be read: %2.").arg(named(source), in.errorString());
        return std::nullopt;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2.").arg(named(target), out.errorString());
        return std::nullopt;
    }
    QByteArray head;
    bool header = false;
    qint64 rows = 0;
    while (!in.atEnd()) {
        // A line longer than any row is no row: it is passed over, a piece at a time.
        QByteArray line = in.readLine(record::kLongestLine);
        const bool ended = line.endsWith('\n');
        if (ended)
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!header) {
            if (line.startsWith('#')) {
                head += line + '\n';
            } else if (record::isHeaderRow(line)) {
                header = true;
                head += "# section of: " + QDir::toNativeSeparators(source).toUtf8() + '\n';
                head += "# span: " + seconds(span.from) + " to " + seconds(span.to) + '\n';
                head += line + '\n';
                out.write(head);
            }
            continue;
        }
        if (!ended)
            continue;  // the last line of a recording cut short, or a piece of a long line
        const auto row = record::parseRow(line);
        if (row && span.contains(row->elapsed)) {
            out.write(line + '\n');
            ++rows;
        }
    }
    if (!header) {
        *error = QStringLiteral("%1 is not a recording: it has no header row.").arg(named(source));
        out.cancelWriting();
        return std::nullopt;
    }
    if (rows == 0) {
        *error = QStringLiteral("No row of %1 lies between %2 and %3, so nothing was written.")
                     .arg(named(source), QString::fromLatin1(seconds(span.from)),
                          QString::fromLatin1(seconds(span.to)));
        out.cancelWriting();
        return std::nullopt;
    }
    if (!out.commit()) {
        *error =
            QStringLiteral("%1 could not be written: %2.").arg(named(target), out.errorString());
        return std::nullopt;
    }
    return rows;
}

}  // namespace ignivex::analysis
