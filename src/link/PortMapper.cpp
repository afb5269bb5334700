#include "link/PortMapper.h"

#include "base/AppIdentity.h"

#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

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
}  // namespace

void setDevice(int number, const QString& path) {
    if (path.isEmpty())
        givenDevices().remove(number);
    else
        givenDevices().insert(number, path);
}

PortDevice deviceFor(int number) {
    PortDevice device;
    if (const auto given = givenDevices().constFind(number); given != givenDevices().cend()) {
        const QFileInfo info(*given);
        device.path = info.exists() ? info.canonicalFilePath() : *given;
        device.shown = *given;
        device.exists = info.exists();
        return device;
    }
#ifdef Q_OS_WIN
    device.path = QStringLiteral("COM%1").arg(number);
    device.shown = device.path;
    device.exists = true;  // Windows offers no cheap test; opening tells.
#else
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
    if (device.linked)
        text += device.exists ? QStringLiteral(" (linked, present)")
                              : QStringLiteral(" (linked, target missing)");
    else
        text += device.exists ? QStringLiteral(" (present)") : QStringLiteral(" (not present)");
    return text;
}

}  // namespace ignivex::port_mapper
