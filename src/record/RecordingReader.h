#pragma once

#include "record/ReadOptions.h"
#include "record/RecordingTable.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

// Reading a recording back for review. Runs on any thread: no widgets, no event loop, and the
// file is read in chunks, so neither a huge file nor a line without end grows memory unbounded.
namespace ignivex::record {

struct Recording {
    QString path;
    // The "# key: value" lines; a "#" line of another form has an empty key.
    QList<std::pair<QString, QString>> details;
    Table table;
    qint64 headerLine = 0;
    // What was not read: the first few skipped lines with their reasons, and how many in all.
    QList<SkippedLine> skipped;
    qint64 skippedCount = 0;
    bool lastLineIncomplete = false;  // the file ends in the middle of a row (kill -9)
    qint64 lastLine = 0;
    // Rows after the limit were not read: from this line on, this many bytes.
    qint64 limitLine = 0;
    qint64 bytesNotRead = 0;
    // "#" lines past kDetailLinesKept, which were passed over.
    qint64 detailLinesDropped = 0;

    // What the review shows beside the chart when something was skipped; empty otherwise.
    QString note() const;
};

struct ReadResult {
    std::optional<Recording> recording;
    QString error;  // why nothing can be shown, naming the file and the line
    bool cancelled = false;
};

// The "#" lines a review keeps, and how much of each: a recording writes seven short ones, and
// a file of a million would otherwise hold the memory (and the details list) for nothing.
inline constexpr int kDetailLinesKept = 1000;
inline constexpr int kDetailLineLength = 1024;

ReadResult readRecording(const QString& path, const ReadOptions& options = {});

}  // namespace ignivex::record
