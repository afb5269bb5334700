#pragma once

#include <QByteArray>
#include <QList>

// The recording's data lines as the server's rows: each value in units of its last decimal,
// the tick's status, its time and how long it stood (to the next line; unknown for the last
// line of a batch), and the line itself.
namespace ignivex::team {

// The rows for a COPY into a table shaped as ignivex.run_rows with the line last. A line that
// does not parse is kept as text with no values and no status, so it counts in no figure.
QByteArray copyRows(int runKey, qint64 firstRow, const QList<QByteArray>& lines);

// The seconds since the start of the first of the lines that is a row; NaN when none is.
double firstElapsed(const QList<QByteArray>& lines);

}  // namespace ignivex::team
