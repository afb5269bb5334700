#include "record/RecordingReader.h"

#include "base/Readable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ignivex::record {

namespace {

constexpr qint64 kChunk = 1024 * 1024;
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

// Feeds the file to `onLine` a line at a time without its line end, with the line's offset and
// whether it ended (an LF) or the file stopped in it. A line longer than kLongestLine is passed
// once, cut, as `tooLong`, and the rest of it is passed over.
struct Lines {
    enum class Kind { Ended, Unended, TooLong };
    QFile& file;
    const ReadOptions& options;
    qint64 total = 0;
    bool cancelled = false;
    QString readError;

    template <typename OnLine>  // bool(QByteArrayView, Kind, qint64 offset): false stops
    void run(OnLine onLine) {
        QByteArray buffer;
        qint64 base = 0;  // file offset of buffer[0]
        bool skipping = false;
        for (;;) {
            if (options.cancel && options.cancel->load()) {
                cancelled = true;
                return;
            }
            const qsizetype carried = buffer.size();
            buffer.resize(carried + kChunk);
            const qint64 got = file.read(buffer.data() + carried, kChunk);
            if (got < 0) {
                readError = file.errorString();
                return;
            }
            buffer.resize(carried + got);
            if (options.progress)
                options.progress(base + buffer.size(), total);
            qsizetype from = 0;
            for (;;) {
                const qsizetype end = buffer.indexOf('\n', from);
                if (end < 0)
                    break;
                const QByteArrayView line(buffer.constData() + from, end - from);
                const qint64 offset = base + from;
                from = end + 1;
                if (skipping) {
                    skipping = false;
                    continue;
                }
                if (!onLine(line, Kind::Ended, offset))
                    return;
            }
            if (skipping)
                from = buffer.size();
            base += from;
            buffer.remove(0, from);
            if (buffer.size() > kLongestLine) {
                const bool goOn =
                    onLine(QByteArrayView(buffer).first(kLongestLine), Kind::TooLong, base);
                base += buffer.size();
                buffer.clear();
                skipping = true;
                if (!goOn)
                    return;
            }
            if (got == 0) {
                if (!buffer.isEmpty() && !skipping)
                    onLine(QByteArrayView(buffer), Kind::Unended, base);
                return;
            }
        }
    }
};

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
    Lines lines{file, options, file.size(), false, {}};
    rec.table.reserve(
        std::size_t(std::min<qint64>(lines.total / 70 + 16, qint64(options.rowLimit))));
    qint64 number = 0;
    bool inRows = false;
    QString why;
    auto skip = [&rec](qint64 line, const QString& reason) {
        if (rec.skipped.size() < kSkippedListed)
            rec.skipped.append({line, reason});
        ++rec.skippedCount;
    };

    lines.run([&](QByteArrayView line, Lines::Kind kind, qint64 offset) {
        ++number;
        if (number == 1 && line.startsWith("\xEF\xBB\xBF"))  // a byte order mark
            line = line.sliced(3);
        if (!inRows) {
            if (kind == Lines::Kind::TooLong) {
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
                inRows = true;
                rec.headerLine = number;
                return true;
            }
            why = QStringLiteral(
                      "%1 is not a recording: line %2 should be the header row\n%3\n"
                      "but reads\n%4\n%5")
                      .arg(named(path))
                      .arg(number)
                      .arg(headerText(), excerpt(line), kChooseRecording);
            return false;
        }
        if (kind == Lines::Kind::TooLong) {
            skip(number, QStringLiteral("it is longer than %1 bytes").arg(kLongestLine));
            return true;
        }
        if (blank(line))
            return true;
        QString reason;
        RowCells row;
        if (!parseCells(line, row, &reason)) {
            if (kind == Lines::Kind::Unended) {
                rec.lastLineIncomplete = true;
                rec.lastLine = number;
            } else {
                skip(number, reason);
            }
            return true;
        }
        const std::vector<double>& elapsed = rec.table.elapsed;
        if (!elapsed.empty() && row.elapsed < elapsed.back()) {
            skip(number, QStringLiteral("\"elapsed_s\" goes back, from %1 to %2")
                             .arg(elapsed.back(), 0, 'f', 3)
                             .arg(row.elapsed, 0, 'f', 3));
            return true;
        }
        if (rec.table.size() >= options.rowLimit) {
            rec.limitLine = number;
            rec.bytesNotRead = lines.total - offset;
            return false;
        }
        rec.table.append(row);
        return true;
    });

    if (lines.cancelled) {
        result.cancelled = true;
        return result;
    }
    if (!why.isEmpty())
        return fail(why);
    if (!lines.readError.isEmpty())
        return fail(QStringLiteral("Reading %1 failed after line %2: %3. Check the drive the file "
                                   "is on, then open it again.")
                        .arg(named(path))
                        .arg(number)
                        .arg(readable(lines.readError)));
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
