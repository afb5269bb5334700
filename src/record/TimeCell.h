#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace ignivex::record {

// The "time" cell of a row read back: milliseconds since the epoch and the offset from UTC it
// was written in; false when the cell is not a time. The form this program writes
// (2026-12-08T14:03:07.250+01:00) is read by hand, as QDateTime's parser would be most of the
// cost of opening a long recording; any other form goes to QDateTime, which decides as ever.
bool readTime(QByteArrayView cell, qint64& msSinceEpoch, int& utcOffsetSeconds);

}  // namespace ignivex::record
