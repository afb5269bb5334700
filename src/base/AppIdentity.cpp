#include "base/AppIdentity.h"

#include <QCoreApplication>

namespace ignivex {

QSettings userSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kAppName, kAppName);
}

void applyApplicationTitle() {
    QCoreApplication::setApplicationName(kAppName);
}

}  // namespace ignivex
