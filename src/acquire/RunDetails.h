#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace ignivex {

// What a run knows about itself, as a recording's details give it.
struct RunDetails {
    QString tool;        // "Ignivex Log 1.1"
    QString port;        // "Com3 (/dev/ttyUSB0)", or the device path given
    QString firmwareId;  // as the module gave it; empty when the identification failed
    std::int16_t status = 0;
    bool statusRead = false;
    std::int16_t rangeCode = 0;
    QString rate;       // "2 per second", "as fast as the link allows"
    QDateTime started;  // local time with its UTC offset
    // The recording's own id (a UUID), which stays with the file through renames and moves;
    // the writer gives a new recording one.
    QString runId;
};

}  // namespace ignivex
