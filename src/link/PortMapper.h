#pragma once

#include <QString>

namespace ignivex {

// Maps port number n to a device. On Windows that is COMn. On Linux and macOS it is the link
// <config>/Ignivex_Log/ports/Com<n> when the user has made one (the way to point the tool at a
// USB adapter), otherwise /dev/ttyS<n-1>.
struct PortDevice {
    QString path;         // what to open
    QString shown;        // what to name in messages and tooltips
    bool linked = false;  // came from the ports folder
    bool exists = false;  // the device is there now
};

namespace port_mapper {
QString portsFolder();
PortDevice deviceFor(int number);
// Makes port `number` stand for `path` for the rest of the run, whatever the ports folder says
// (the command line's --port DEVICE). An empty path takes that back.
void setDevice(int number, const QString& path);
// "Com5: /dev/ttyUSB0 (linked, present)" and the like, for the port list's tooltips.
QString describe(int number);
}  // namespace port_mapper

}  // namespace ignivex
