#include "link/PortMapper.h"

#include "base/AppIdentity.h"

#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <optional>

#ifdef Q_OS_WIN
#include "link/WinPorts.h"
#endif

namespace ignivex::port_mapper {

QString portsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + kAppName + QStringLiteral("/ports");
}

namespace {
QHash<int, QString>& givenDevices() {
    static QHash<int, QString> devices;
    return devices;
}

#ifdef Q_OS_WIN
// "COM7" (any case, with or without \\.\ before it) as the system's serial map has it, or
// nothing when the name is no COM port there.
std::optional<win_ports::ComPort> comPortNamed(QString name) {
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    for (const win_ports::ComPort& port : win_ports::present())
        if (port.name.compare(name, Qt::CaseInsensitive) == 0)
            return port;
    return std::nullopt;
}

// Windows opens COM ports above 9 only by their device path, and the lower ones that way too.
QString comDevicePath(const QString& name) {
    return name.startsWith(QLatin1String("\\\\.\\")) ? name : QStringLiteral("\\\\.\\") + name;
}
#endif
}  // namespace

void setDevice(int number, const QString& path) {
    if (path.isEmpty())
        givenDevices().remove(number);
    else
        givenDevices().insert(number, path);
}

PortDevice deviceFor(int number) {
    PortDevice device;
#ifdef Q_OS_WIN
    // COMn, or the port the command line gave; the system's serial map says whether it is there.
    const auto given = givenDevices().constFind(number);
    device.shown = given != givenDevices().cend() ? *given : QStringLiteral("COM%1").arg(number);
    device.path = comDevicePath(device.shown);
    device.exists = comPortNamed(device.shown).has_value();
#else
    if (const auto given = givenDevices().constFind(number); given != givenDevices().cend()) {
        const QFileInfo info(*given);
        device.path = info.exists() ? info.canonicalFilePath() : *given;
        device.shown = *given;
        device.exists = info.exists();
        return device;
    }
    const QFileInfo link(portsFolder() + QStringLiteral("/Com%1").arg(number));
    if (link.isSymLink() || link.exists()) {
        device.linked = true;
        // Open the target itself, so the lock file guards the real device against other programs.
        const QString target = link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath();
        const QFileInfo resolved(target);
        device.path = resolved.exists() ? resolved.canonicalFilePath() : target;
        device.exists = resolved.exists();
    } else {
        device.path = QStringLiteral("/dev/ttyS%1").arg(number - 1);
        device.exists = QFileInfo::exists(device.path);
    }
    device.shown = device.path;
#endif
    return device;
}

QString describe(int number) {
    const PortDevice device = deviceFor(number);
    QString text = QStringLiteral("Com%1: %2").arg(number).arg(device.shown);
#ifdef Q_OS_WIN
    if (const auto port = comPortNamed(device.shown))
        return text + QStringLiteral(" (%1, present)").arg(port->device);
#endif
    if (device.linked)
        text += device.exists ? QStringLiteral(" (linked, present)")
                              : QStringLiteral(" (linked, target missing)");
    else
        text += device.exists ? QStringLiteral(" (present)") : QStringLiteral(" (not present)");
    return text;
}

}  // namespace ignivex::port_mapper
