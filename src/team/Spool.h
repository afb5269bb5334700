#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The rows of a recording that wait for the team's server, in a file beside the recording
// (run3.csv.spool): a few "#" lines naming the server, the run, the recording and the number of
// the first waiting row, then the waiting rows as the recording has them. It is written as the
// recording is (each addition synced to the disk), so a power cut costs it no row the recording
// kept, and rewritten small once the server has confirmed what it holds.
namespace ignivex::team {

struct SpoolHead {
    QString url;        // the server, as --publish gave it
    QString runId;      // the recording's "# id:"
    QString recording;  // the recording's path
    qint64 firstRow = 0;  // the number of the first waiting row (0: the file's first data row)
};

struct SpoolContents {
    SpoolHead head;
    QList<QByteArray> lines;  // rows firstRow, firstRow + 1, ..., without their line ends
    // A last row cut short (a power cut while it was being written): left out, and said here.
    bool lastRowCut = false;
};

// "FILE.spool" beside the recording FILE.
QString spoolPathFor(const QString& recording);

// The whole spool anew: written beside it and renamed over it, synced, so a power cut leaves
// the old one or the new one. False with the reason.
bool writeSpool(const QString& path, const SpoolContents& contents, QString* why);

// Rows added at the end of an existing spool, synced to the disk before it returns.
bool appendToSpool(const QString& path, const QList<QByteArray>& lines, QString* why);

// Reads a spool back. A file that is not a spool, or whose lines are damaged (a missing or
// unreadable "#" line, bytes no recording writes), is refused with the reason; nothing is
// guessed.
std::optional<SpoolContents> readSpool(const QString& path, QString* why);

bool removeSpool(const QString& path, QString* why);

}  // namespace ignivex::team
