#include "record/RecordingReader.h"

#include "base/MessageText.h"
#include "record/FilePiece.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ignivex::record {

namespace {

const QString kChooseRecording =
    QStringLiteral("Choose a file written by File, Record\u2026, or a CSV file with that header.");

QString named(const QString& path) {
    return QStringLiteral("\"%1\"").arg(readablePath(QDir::toNativeSeparators(path)));
}

QString headerText() {
    return kColumns.join(QLatin1Char(','));
}

// A line as it can be quoted in a message: printable, and not too long.
QString excerpt(QByteArrayView line) {
    return readable(QString::fromUtf8(line.first(std::min<qsizetype>(line.size(), 400))), 80);
}

QString megabytes(qint64 bytes) {
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

bool blank(QByteArrayView line) {
    return line.trimmed().isEmpty();
}

}  // namespace

QString Recording::note() const {
    QStringList lines;
    for (const SkippedLine& s : skipped)
        lines << QStringLiteral("Line %1 skipped: %2.").arg(s.line).arg(s.why);
    if (skippedCount > skipped.size())
        lines << QStringLiteral("\u2026 and %1 more lines skipped (%2 in all).")
                     .arg(skippedCount - skipped.size())
                     .arg(skippedCount);
    if (detailLinesDropped > 0)
        lines << QStringLiteral(
                     "Only the first %1 \"#\" lines are shown among the details: "
                     "%L2 more were passed over.")
                     .arg(kDetailLinesKept)
                     .arg(detailLinesDropped);
    if (lastLineIncomplete)
        lines << QStringLiteral(
                     "The last line (%1) is incomplete, as a recording cut off by a "
                     "crash or a power cut leaves it: it was not read.")
                     .arg(lastLine);
    if (limitLine > 0)
        lines << QStringLiteral(
                     "Only the first %L1 rows were read, up to line %2: the remaining "
                     "%3 of the file were not read.")
                     .arg(qulonglong(table.size()))
                     .arg(limitLine)
                     .arg(megabytes(bytesNotRead));
    return lines.join(QLatin1Char('\n'));
}

ReadResult readRecording(const QString& path, const ReadOptions& options) {
    ReadResult result;
    auto fail = [&result](const QString& text) {
        result.error = text;
        return result;
    };
    const QFileInfo info(path);
    if (info.isDir())
        return fail(QStringLiteral("%1 is a folder, not a recording. Choose a recording file "
                                   "(.csv) in it.")
                        .arg(named(path)));
    if (!info.exists())
        return fail(QStringLiteral("%1 does not exist. Choose another file.").arg(named(path)));
    // A pipe or a device could be read for ever.
    if (!info.isFile())
        return fail(QStringLiteral("%1 is not a plain file (it is a device, a pipe or a socket), "
                                   "so it is not a recording. Choose a recording file (.csv).")
                        .arg(named(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1: %2. Check that the file is there and that "
                                   "you may read it.")
                        .arg(named(path), readable(file.errorString())));

    Recording rec;
    rec.path = path;
    qint64 number = 0;
    qint64 rowsFrom = 0;  // the offset of the line after the header row
    QString why;
    FileLines lines{file, 0, -1, kLongestLine, options.cancel};
    if (options.progress)
        lines.progress = [&](qint64 read) { options.progress(read, file.size()); };
    lines.run([&](QByteArrayView line, LineEnd end, qint64 offset) {
        ++number;
        rowsFrom = offset + line.size() + 1;
        if (number == 1 && line.startsWith("\xEF\xBB\xBF"))  // a byte order mark
            line = line.sliced(3);
        if (end == LineEnd::TooLong) {
            why = QStringLiteral(
                      "%1 is not a recording: line %2 is longer than %3 bytes, "
                      "where the header row belongs. %4")
                      .arg(named(path))
                      .arg(number)
                      .arg(kLongestLine)
                      .arg(kChooseRecording);
            return false;
        }
        if (blank(line))
            return true;
        if (line.startsWith('#')) {
            if (rec.details.size() >= kDetailLinesKept) {
                ++rec.detailLinesDropped;
                return true;
            }
            line = line.first(std::min<qsizetype>(line.size(), kDetailLineLength));
            if (const auto detail = detailLine(line))
                rec.details.append(*detail);
            else
                rec.details.append({QString(), QString::fromUtf8(line.sliced(1)).trimmed()});
            return true;
        }
        if (isHeaderRow(line)) {
            rec.headerLine = number;
            return false;
        }
        why = QStringLiteral(
                  "%1 is not a recording: line %2 should be the header row\n%3\n"
                  "but reads\n%4\n%5")
                  .arg(named(path))
                  .arg(number)
                  .arg(headerText(), excerpt(line), kChooseRecording);
        return false;
    });
    const bool inRows = rec.headerLine > 0;
    bool cancelled = lines.cancelled;
    QString readError = lines.readError;
    if (inRows) {
        RowsRead read = readRows(path, rowsFrom, number, options);
        cancelled = read.cancelled;
        readError = read.readError;
        FilePiece& rows = read.rows;
        number = rows.number;
        rec.table = std::move(rows.table);
        rec.skipped = std::move(rows.skipped);
        rec.skippedCount = rows.skippedCount;
        rec.lastLineIncomplete = rows.lastLineIncomplete;
        rec.lastLine = rows.lastLine;
        if (rows.limitLine > 0) {
            rec.limitLine = rows.limitLine;
            rec.bytesNotRead = read.size - rows.limitOffset;
        }
    }

    if (cancelled) {
        result.cancelled = true;
        return result;
    }
    if (!why.isEmpty())
        return fail(why);
    if (!readError.isEmpty())
        return fail(QStringLiteral("Reading %1 failed after line %2: %3. Check the drive the file "
                                   "is on, then open it again.")
                        .arg(named(path))
                        .arg(number)
                        .arg(readable(readError)));
    if (!inRows) {
        if (number == 0)
            return fail(QStringLiteral("%1 is empty: a recording begins with its details and "
                                       "the header row\n%2\n%3")
                            .arg(named(path), headerText(), kChooseRecording));
        return fail(QStringLiteral("%1 is not a recording: it ends at line %2 without the header "
                                   "row\n%3\n%4")
                        .arg(named(path))
                        .arg(number)
                        .arg(headerText(), kChooseRecording));
    }
    if (rec.table.empty()) {
        if (!rec.skipped.isEmpty())
            return fail(QStringLiteral("%1 holds no row that can be read: line %2: %3 (%4 lines "
                                       "skipped in all).")
                            .arg(named(path))
                            .arg(rec.skipped.first().line)
                            .arg(rec.skipped.first().why)
                            .arg(rec.skippedCount));
        if (rec.lastLineIncomplete)
            return fail(QStringLiteral("%1 holds no complete row: its only row (line %2) was cut "
                                       "off, as a crash or a power cut leaves it.")
                            .arg(named(path))
                            .arg(rec.lastLine));
        return fail(QStringLiteral("%1 holds no rows: nothing follows its header row (line %2). "
                                   "The recording was stopped before its first sample.")
                        .arg(named(path))
                        .arg(rec.headerLine));
    }
    result.recording = std::move(rec);
    return result;
}

}  // namespace ignivex::record
