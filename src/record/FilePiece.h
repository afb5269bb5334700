#pragma once

#include "record/FileLines.h"
#include "record/ReadOptions.h"
#include "record/RecordingTable.h"

namespace ignivex::record {

// The rows of a stretch of a recording's file after its header row: each line read as a row,
// or skipped with its reason, until the row limit. A file is read as one stretch, or as two
// read at once and joined, which gives the same as reading it as one.
struct FilePiece {
    Table table;
    QList<SkippedLine> skipped;
    qint64 skippedCount = 0;
    qint64 number = 0;  // of the last line passed; a stretch of its own counts from 0
    bool lastLineIncomplete = false;
    qint64 lastLine = 0;
    qint64 limitLine = 0;    // where the row limit was reached: the line, and its offset
    qint64 limitOffset = 0;  // in the file

    // One line of the file; false once the row limit is reached.
    bool line(QByteArrayView line, LineEnd end, qint64 offset, std::size_t rowLimit);

    // Whether `next`, the stretch after this one read on its own, reads as it would have read
    // after this one: it may not hold a row whose time goes back from this stretch's last, nor
    // rows past the limit. Then `join` adds it.
    bool joins(const FilePiece& next, std::size_t rowLimit) const;
    void join(FilePiece&& next);

private:
    void skip(qint64 line, const QString& why);
};

struct RowsRead {
    FilePiece rows;
    qint64 size = 0;  // of the file
    bool cancelled = false;
    QString readError;
};

// The rows of the file from `from`, the offset after its header row, which is line `number`:
// in two halves read at once when they are options.halvesFrom bytes or more.
RowsRead readRows(const QString& path, qint64 from, qint64 number, const ReadOptions& options);

}  // namespace ignivex::record
