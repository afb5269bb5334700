#include "link/PortSettings.h"

#include "recovery/AppIdentity.h"
#include "recovery/CommError.h"

#include <QSettings>
#include <limits>

namespace ignivex::port_settings {

namespace {
const QString kKey = QStringLiteral("Properties/CommPort");

QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kAppName, kAppName);
}
}  // namespace

QString readStored() {
    return openStore().value(kKey, QStringLiteral("1")).toString();
}

std::int16_t toPortNumber(const QString& stored) {
    const QString text = stored.trimmed();
    bool whole = false;
    const qlonglong value = text.toLongLong(&whole, 10);
    if (!whole) {
        throw CommError(kErrTypeMismatch, kAppName,
                        QStringLiteral("The stored port setting \"%1\" is not a whole number. "
                                       "Click Ignore, then choose the port again under "
                                       "Communications, Port Setup.")
                            .arg(stored));
    }
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw CommError(kErrOverflow, kAppName,
                        QStringLiteral("The stored port setting \"%1\" is out of range. Click "
                                       "Ignore, then choose the port again under Communications, "
                                       "Port Setup.")
                            .arg(stored));
    }
    return static_cast<std::int16_t>(value);
}

void store(std::int16_t portNumber) {
    QSettings settings = openStore();
    settings.setValue(kKey, QString::number(portNumber));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw CommError(75, kAppName,
                        QStringLiteral("The port choice could not be saved to %1. Check that the "
                                       "folder exists and is writable, then click Retry.")
                            .arg(settings.fileName()));
    }
}

QString fileName() {
    return openStore().fileName();
}

}  // namespace ignivex::port_settings
