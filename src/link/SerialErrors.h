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
// `what` says what the device is instead: "a plain file", "a named pipe", ...
CommError notASerialDevice(int number, const QString& device, const QString& what,
                           const QString& portsFolder);
CommError noPermission(int number, const QString& device);
CommError inUse(int number, const QString& device);
CommError openFailed(int number, const QString& device, const QString& reason);
CommError notOpen(int number, const QString& device);
// Lost, the cause unknown (a hang-up, another program, a driver fault) ...
CommError deviceLost(int number, const QString& device);
// ... and lost with the device node gone: the one cause the tool can see for itself.
CommError deviceGone(int number, const QString& device);
CommError writeFailed(int number, const QString& device, const QString& reason);
CommError badSettings(const QString& settings);
CommError portIsOpen(int number);

}  // namespace ignivex::serial
