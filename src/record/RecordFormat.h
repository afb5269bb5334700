#pragma once

#include "acquire/Sample.h"
#include "base/Clock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The recording file: plain CSV that spreadsheets and data tools open as they are. First a few
// lines beginning with "#" that describe the recording ("# key: value"), then one header row,
// then one row per polling tick. Comma separated, "." decimals, UTF-8, LF line ends (CR LF is
// read too). A value a tick did not read is an empty cell.
namespace ignivex::record {

// The columns, in their order.
inline const QStringList kColumns = {
    QStringLiteral("time"),      QStringLiteral("elapsed_s"), QStringLiteral("rpm"),
    QStringLiteral("advance"),   QStringLiteral("map"),       QStringLiteral("battery_v"),
    QStringLiteral("gpi3_v"),    QStringLiteral("gpi1"),      QStringLiteral("gpi2"),
    QStringLiteral("gpi3"),      QStringLiteral("status")};

// What the "#" lines say about a recording.
struct Details {
    QString tool;        // "Ignivex Log 1.1"
    QString port;        // "Com3 (/dev/ttyUSB0)"
    QString firmwareId;  // as the module gave it; empty when the identification failed
    std::int16_t status = 0;
    bool statusRead = false;
    std::int16_t rangeCode = 0;
    QString rate;        // "2 per second", "as fast as the link allows"
    QDateTime started;   // local time with its UTC offset
};

// "ok", "esc", "link-lost", "aborted", "ignored", "held", "surplus".
QString statusText(Sample::End end);
std::optional<Sample::End> statusFrom(QStringView text);

// Local time as ISO 8601 with milliseconds and the UTC offset: 2026-12-08T14:03:07.250+01:00.
QString timeText(const QDateTime& time);

// The "#" lines and the header row, each line ending with LF.
QByteArray preamble(const Details& details);

// One data row for a tick, ending with LF. `start` is the monotonic time the recording began:
// elapsed_s counts from there.
QByteArray row(const Sample& sample, Instant start);

// A data row read back. Empty cells stay empty.
struct Row {
    QDateTime time;
    double elapsed = 0;
    std::optional<double> rpm, advance, map, battery, gpi3Volts;
    std::optional<bool> gpi1, gpi2, gpi3;
    Sample::End status = Sample::End::Complete;
};

// Parses one line (without its line end; a trailing CR is ignored). On failure returns nothing
// and says why in `why` (which cell, and what is wrong with it).
std::optional<Row> parseRow(QByteArrayView line, QString* why = nullptr);

// True for the header row of a recording (the column names in their order).
bool isHeaderRow(QByteArrayView line);

// A "# key: value" line split into its key and value; nothing for other lines.
std::optional<std::pair<QString, QString>> detailLine(QByteArrayView line);

}  // namespace ignivex::record
