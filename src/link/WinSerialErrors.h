#pragma once

#include "link/SerialErrors.h"

#include <QStringList>

namespace ignivex::serial {

// Errors only the Windows serial layer gives; the others are shared with every platform.
// `present` lists the COM ports that exist now, as the system names them.
CommError noSuchComPort(int number, const QString& device, const QStringList& present);

// The system's own words for a Win32 error code, with the code: "Access is denied. (error 5)".
QString systemMessage(unsigned long code);

}  // namespace ignivex::serial
