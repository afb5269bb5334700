#include "link/SerialErrors.h"

#include "base/MessageText.h"

namespace ignivex::serial {
namespace {

const QString kSource = QStringLiteral("Serial Port");

QString portName(int number, const QString& device) {
    return QStringLiteral("Com%1 (%2)").arg(number).arg(readablePath(device));
}

}  // namespace

CommError invalidPortNumber(int number) {
    return CommError(kErrInvalidPort, kSource,
                     QStringLiteral("Com%1 is not a serial port the tool can use. Choose a port "
                                    "from Com1 to Com255 under Communications, Port Setup.")
                         .arg(number));
}

CommError noSuchDevice(int number, const QString& device, const QString& portsFolder) {
    return CommError(
        kErrInvalidPort, kSource,
        QStringLiteral("%1 does not exist. Plug in the serial adapter, or link it as Com%2, for "
                       "example: ln -s /dev/ttyUSB0 %3/Com%2\nThen click Retry, or choose "
                       "another port under Communications, Port Setup.")
            .arg(portName(number, device), QString::number(number), readablePath(portsFolder)));
}

CommError notASerialDevice(int number, const QString& device, const QString& what,
                           const QString& portsFolder) {
    return CommError(
        kErrInvalidPort, kSource,
        QStringLiteral("%1 is not a serial device: it is %2. Link Com%3 to the serial adapter "
                       "instead, for example: ln -sf /dev/ttyUSB0 %4/Com%3\nThen click Retry, "
                       "or choose another port under Communications, Port Setup.")
            .arg(portName(number, device), what, QString::number(number),
                 readablePath(portsFolder)));
}

CommError noPermission(int number, const QString& device) {
    return CommError(
        kErrInvalidPort, kSource,
        QStringLiteral("You have no permission to use %1. Add yourself to the dialout group "
                       "(sudo adduser $USER dialout), log out and in again, then click Retry.")
            .arg(portName(number, device)));
}

CommError inUse(int number, const QString& device) {
    return CommError(kErrPortInUse, kSource,
                     QStringLiteral("%1 is in use by another program. Close that program, then "
                                    "click Retry.")
                         .arg(portName(number, device)));
}

CommError openFailed(int number, const QString& device, const QString& reason) {
    return CommError(kErrInvalidPort, kSource,
                     QStringLiteral("%1 could not be opened: %2. Check the adapter and the port "
                                    "under Communications, Port Setup, then click Retry.")
                         .arg(portName(number, device), readable(reason)));
}

CommError notOpen(int number, const QString& device) {
    return CommError(kErrPortNotOpen, kSource,
                     QStringLiteral("%1 is not open, so the module cannot be reached. Click Abort, "
                                    "check the cable and the adapter, then open the real-time "
                                    "view again.")
                         .arg(portName(number, device)));
}

CommError deviceLost(int number, const QString& device) {
    return CommError(kErrDeviceLost, kSource,
                     QStringLiteral("The connection to %1 was lost. Check that the adapter is "
                                    "plugged in and that no other program uses the port, click "
                                    "Abort, then open the real-time view again.")
                         .arg(portName(number, device)));
}

CommError deviceGone(int number, const QString& device) {
    return CommError(kErrDeviceLost, kSource,
                     QStringLiteral("The connection to %1 was lost: the device is gone (an "
                                    "adapter that was pulled out leaves no device behind). Plug "
                                    "it in again, click Abort, then open the real-time view "
                                    "again.")
                         .arg(portName(number, device)));
}

CommError writeFailed(int number, const QString& device, const QString& reason) {
    return CommError(kErrDeviceLost, kSource,
                     QStringLiteral("Sending to %1 failed: %2. Check the cable and the adapter, "
                                    "then click Retry, or Abort to stop.")
                         .arg(portName(number, device), readable(reason)));
}

CommError badSettings(const QString& settings) {
    return CommError(kErrSettings, kSource,
                     QStringLiteral("The line setting \"%1\" is not valid: it must read speed, "
                                    "parity, data bits, stop bits, as in 56000,N,8,1.")
                         .arg(readable(settings)));
}

CommError portIsOpen(int number) {
    return CommError(kErrPortInUse, kSource,
                     QStringLiteral("Com%1 is open: the port can only be changed while it is "
                                    "closed.")
                         .arg(number));
}

}  // namespace ignivex::serial
