#pragma once

#include <QList>
#include <QString>

namespace ignivex::win_ports {

// A COM port that exists now, as the system's serial map lists it.
struct ComPort {
    QString name;    // "COM3"
    QString device;  // the driver's device, "\Device\Serial2", "\Device\VCP0", ...
};

// The COM ports of the registry's SERIALCOMM map, in port-number order. Empty where there is
// none.
QList<ComPort> present();

}  // namespace ignivex::win_ports
