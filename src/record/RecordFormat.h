#pragma once

#include "acquire/Channels.h"
#include "acquire/RunDetails.h"
#include "acquire/Sample.h"
#include "base/Clock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

// The recording file: plain CSV that spreadsheets and data tools open as they are. First a few
// lines beginning with "#" that describe the recording ("# key: value"), then one header row,
// then one row per polling tick. Comma separated, "." decimals, UTF-8, LF line ends (CR LF is
// read too). A value a tick did not read is an empty cell.
namespace ignivex::record {

// The columns, in their order: the time, the seconds since the start, a column per recorded
// value, the tick's status.
extern const QStringList kColumns;

// What the "#" lines say about a recording.
using Details = RunDetails;

// The "map range" line's value for a range code: "0 (no MAP sensor)", "2 (0 to 60)".
QString mapRangeText(std::int16_t rangeCode);
// The range code a recording's details name; nothing when they name none.
std::optional<std::int16_t> rangeCodeOf(const QList<std::pair<QString, QString>>& details);

// "ok", "esc", "link-lost", "aborted", "ignored", "held", "surplus".
QString statusText(Sample::End end);
std::optional<Sample::End> statusFrom(QStringView text);

// Local time as ISO 8601 with milliseconds and the UTC offset: 2026-12-08T14:03:07.250+01:00.
QString timeText(const QDateTime& time);

// A new recording's id: a random UUID, written as its "# id:" line.
QString newRunId();
// The id a recording's details give, as written by newRunId(); empty when they give none (a
// file of an earlier version) or the line is no UUID.
QString runIdOf(const QList<std::pair<QString, QString>>& details);

// The "#" lines and the header row, each line ending with LF; the "# id:" line only when the
// details carry an id.
QByteArray preamble(const Details& details);

// One data row for a tick, ending with LF. `start` is the monotonic time the recording began:
// elapsed_s counts from there. `mark`: the user's mark on the row, written quoted (empty: none).
QByteArray row(const Sample& sample, Instant start, const QString& mark = {});

// The longest note a mark keeps, in UTF-16 units.
inline constexpr int kLongestNote = 200;

// A mark's note as it is kept: control characters as spaces, runs of white space as one, at
// most kLongestNote long.
QString noteText(const QString& note);

// A mark's cell as written: quoted, its commas as semicolons and its quotes as single quotes,
// on one line; a note that a spreadsheet would take for a formula (beginning with =, +, - or @)
// has an apostrophe before it, so it shows as text. Empty for no mark.
QByteArray markCell(const QString& mark);

// A data row read back. Empty cells stay empty.
struct Row : ChannelValues {
    QDateTime time;
    double elapsed = 0;
    Sample::End status = Sample::End::Complete;
    QString mark;  // the user's mark on the row; empty for none
};

// Parses one line (without its line end; a trailing CR is ignored). On failure returns nothing
// and says why in `why` (which cell, and what is wrong with it).
std::optional<Row> parseRow(QByteArrayView line, QString* why = nullptr);

// A data row as the reader keeps it: the same checks as parseRow, in the same order and with
// the same reasons, but nothing allocated for a good row, so millions of rows read quickly.
struct RowCells {
    qint64 wallMs = 0;  // the time as milliseconds since the epoch
    int utcOffsetSeconds = 0;
    double elapsed = 0;
    std::array<double, kValueCount> values{};  // in the order of kValues; NaN where empty
    Sample::End status = Sample::End::Complete;
    QByteArrayView time;  // the time's cell as written
    QByteArrayView mark;  // the mark's cell as written; empty for none
};
bool parseCells(QByteArrayView line, RowCells& out, QString* why = nullptr);

// A mark's text from its cell as written (the quotes, and the apostrophe before a formula's
// first character, removed).
QString markText(QByteArrayView cell);

// True for the header row of a recording (the column names in their order).
bool isHeaderRow(QByteArrayView line);

// A "# key: value" line split into its key and value; nothing for other lines.
std::optional<std::pair<QString, QString>> detailLine(QByteArrayView line);

}  // namespace ignivex::record
