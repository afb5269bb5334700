#include "base/AppIdentity.h"

#include <QCoreApplication>

namespace ignivex {

void applyApplicationTitle() {
    QCoreApplication::setApplicationName(kAppName);
}

}  // namespace ignivex
