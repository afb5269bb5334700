#include "record/FilePiece.h"

#include <future>

namespace ignivex::record {

namespace {

// Where the rows from `from` are cut in two: after the line end nearest past the middle. None
// (0) when they are fewer than `fewest` bytes, or no line ends near the middle.
qint64 middleOf(QFile& file, qint64 from, qint64 fewest) {
    const qint64 size = file.size();
    if (size - from < std::max<qint64>(fewest, 2))
        return 0;
    const qint64 middle = from + (size - from) / 2;
    if (!file.seek(middle - 1))
        return 0;
    const qsizetype end = file.read(kLongestLine + 1).indexOf('\n');
    return end < 0 ? 0 : middle + end;
}

// Reads the lines into the stretch, with room made for the rows of `bytes` (some 80 bytes a
// row); returns whether they were read to their end.
bool readInto(FileLines& lines, FilePiece& rows, const ReadOptions& options, qint64 bytes) {
    rows.table.reserve(std::size_t(std::min<qint64>(bytes / 70 + 16, qint64(options.rowLimit))));
    lines.run([&](QByteArrayView line, LineEnd end, qint64 offset) {
        return rows.line(line, end, offset, options.rowLimit);
    });
    return rows.limitLine == 0 && !lines.cancelled && lines.readError.isEmpty();
}

}  // namespace

RowsRead readRows(const QString& path, qint64 from, qint64 number, const ReadOptions& options) {
    RowsRead out;
    out.rows.number = number;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.readError = file.errorString();
        return out;
    }
    out.size = file.size();
    from = std::min(from, out.size);  // a header row without its line end ends the file
    const qint64 middle = middleOf(file, from, options.halvesFrom);

    // The second half on its own, from line 0, while this thread reads the first. It is
    // stopped when the first ends early (the row limit, an error), as it is not wanted then.
    QFile secondFile(path);
    std::atomic<bool> firstEndedEarly = false;
    std::atomic<qint64> firstRead = 0, secondRead = 0;
    FileLines second{secondFile, middle, -1, kLongestLine, options.cancel, &firstEndedEarly};
    second.progress = [&](qint64 read) { secondRead = read; };
    FilePiece secondRows;
    std::future<void> secondDone;
    if (middle > 0) {
        secondDone = std::async(std::launch::async, [&] {
            if (secondFile.open(QIODevice::ReadOnly))
                readInto(second, secondRows, options, out.size - middle);
            else
                second.readError = secondFile.errorString();
        });
    }

    // The caller hears of the progress (and may cancel) on this thread only.
    auto report = [&] {
        if (options.progress)
            options.progress(from + firstRead + secondRead, out.size);
    };
    FileLines first{file, from, middle > 0 ? middle : -1, kLongestLine, options.cancel};
    first.progress = [&](qint64 read) {
        firstRead = read;
        report();
    };
    // Room for all the rows, so that the second half's join copies them only once.
    const bool whole = readInto(first, out.rows, options, out.size - from);
    out.cancelled = first.cancelled;
    out.readError = first.readError;
    if (!secondDone.valid())
        return out;
    firstEndedEarly = !whole;
    while (secondDone.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        report();
    if (!whole)
        return out;
    if (out.rows.joins(secondRows, options.rowLimit)) {
        out.rows.join(std::move(secondRows));
        out.cancelled = second.cancelled;
        out.readError = second.readError;
    } else {
        // Rows that go back across the middle, or past the limit: read as one stretch.
        secondRows = {};
        FileLines again{file, middle, -1, kLongestLine, options.cancel};
        readInto(again, out.rows, options, 0);
        out.cancelled = again.cancelled;
        out.readError = again.readError;
    }
    report();
    return out;
}

void FilePiece::skip(qint64 line, const QString& why) {
    if (skipped.size() < kSkippedListed)
        skipped.append({line, why});
    ++skippedCount;
}

bool FilePiece::line(QByteArrayView line, LineEnd end, qint64 offset, std::size_t rowLimit) {
    ++number;
    if (end == LineEnd::TooLong) {
        skip(number, QStringLiteral("it is longer than %1 bytes").arg(kLongestLine));
        return true;
    }
    if (line.trimmed().isEmpty())
        return true;
    RowCells row;
    QString reason;
    if (!parseCells(line, row, &reason)) {
        if (end == LineEnd::Unended) {
            lastLineIncomplete = true;
            lastLine = number;
        } else {
            skip(number, reason);
        }
        return true;
    }
    if (!table.empty() && row.elapsed < table.elapsed.back()) {
        skip(number, QStringLiteral("\"elapsed_s\" goes back, from %1 to %2")
                         .arg(table.elapsed.back(), 0, 'f', 3)
                         .arg(row.elapsed, 0, 'f', 3));
        return true;
    }
    if (table.size() >= rowLimit) {
        limitLine = number;
        limitOffset = offset;
        return false;
    }
    table.append(row);
    return true;
}

bool FilePiece::joins(const FilePiece& next, std::size_t rowLimit) const {
    // A row the next stretch kept is one that goes back here only if its first does: its rows
    // never go back from one another.
    const bool inOrder =
        table.empty() || next.table.empty() || next.table.elapsed.front() >= table.elapsed.back();
    return limitLine == 0 && next.limitLine == 0 && inOrder &&
           table.size() + next.table.size() <= rowLimit;
}

void FilePiece::join(FilePiece&& next) {
    for (const SkippedLine& s : next.skipped) {
        if (skipped.size() < kSkippedListed)
            skipped.append({number + s.line, s.why});
    }
    skippedCount += next.skippedCount;
    if (next.lastLineIncomplete) {
        lastLineIncomplete = true;
        lastLine = number + next.lastLine;
    }
    number += next.number;
    table.append(std::move(next.table));
}

}  // namespace ignivex::record
