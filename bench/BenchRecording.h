#pragma once

// The top of the recordings the benchmarks write: a module at the fastest rate, range 1.
#include "record/RecordFormat.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

namespace ignivex::bench {

inline record::Details fastRecordingDetails() {
    record::Details d;
    d.tool = QStringLiteral("Ignivex Log 1.1");
    d.port = QStringLiteral("Com1 (/dev/ttyUSB0)");
    d.firmwareId = QStringLiteral("IGX-2 V1.10");
    d.statusRead = true;
    d.status = 0x05;
    d.rangeCode = 1;
    d.rate = QStringLiteral("as fast as the link allows");
    d.started = QDateTime(QDate(2026, 12, 8), QTime(14, 0), QTimeZone(3600));
    return d;
}

// The data rows a recording file holds whole (a last line without its end is not counted).
inline qint64 dataRows(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    qint64 rows = 0;
    bool header = false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (header && line.endsWith('\n'))
            ++rows;
        header = header || line.startsWith("time,");
    }
    return rows;
}

}  // namespace ignivex::bench
