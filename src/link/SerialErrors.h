#pragma once

#include "recovery/CommError.h"

#include <QString>

namespace ignivex::serial {

// Errors of the serial layer. Each names the port and its device and says what to do; the
// error prompt shows the description as it stands.
inline constexpr int kErrInvalidPort = 8002;
inline constexpr int kErrPortInUse = 8005;
inline constexpr int kErrPortNotOpen = 8018;
inline constexpr int kErrDeviceLost = 8020;
inline constexpr int kErrSettings = 380;

CommError invalidPortNumber(int number);
CommError noSuchDevice(int number, const QString& device, const QString& portsFolder);
CommError noPermission(int number, const QString& device);
CommError inUse(int number, const QString& device);
CommError openFailed(int number, const QString& device, const QString& reason);
CommError notOpen(int number, const QString& device);
CommError deviceLost(int number, const QString& device);
CommError writeFailed(int number, const QString& device, const QString& reason);
CommError badSettings(const QString& settings);
CommError portIsOpen(int number);

}  // namespace ignivex::serial
