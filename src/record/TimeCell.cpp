#include "record/TimeCell.h"

#include <QDateTime>

namespace ignivex::record {

namespace {

// The written form, character by character: 'd' a digit, anything else itself.
constexpr char kForm[] = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
constexpr qsizetype kFormSize = sizeof kForm - 1;

int digits(const char* p, int count) {
    int v = 0;
    for (int i = 0; i < count; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The written form with every field in its range, or false to let QDateTime decide.
bool readWritten(QByteArrayView cell, qint64& ms, int& offset) {
    if (cell.size() != kFormSize)
        return false;
    const char* p = cell.data();
    for (qsizetype i = 0; i < kFormSize; ++i) {
        const bool digit = p[i] >= '0' && p[i] <= '9';
        if (kForm[i] == 'd'   ? !digit
            : kForm[i] == '+' ? p[i] != '+' && p[i] != '-'
                              : p[i] != kForm[i])
            return false;
    }
    const int year = digits(p, 4), month = digits(p + 5, 2), day = digits(p + 8, 2);
    const int hour = digits(p + 11, 2), minute = digits(p + 14, 2), second = digits(p + 17, 2);
    const int offsetHours = digits(p + 24, 2), offsetMinutes = digits(p + 27, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysIn(year, month) || hour > 23 ||
        minute > 59 || second > 59 || offsetMinutes > 59 ||
        offsetHours * 60 + offsetMinutes > 14 * 60)
        return false;
    offset = (p[23] == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    const qint64 local =
        daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    ms = (local - offset) * 1000 + digits(p + 20, 3);
    return true;
}

}  // namespace

bool readTime(QByteArrayView cell, qint64& msSinceEpoch, int& utcOffsetSeconds) {
    if (readWritten(cell, msSinceEpoch, utcOffsetSeconds))
        return true;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(cell), Qt::ISODateWithMs);
    if (!time.isValid())
        return false;
    msSinceEpoch = time.toMSecsSinceEpoch();
    utcOffsetSeconds = time.offsetFromUtc();
    return true;
}

}  // namespace ignivex::record
