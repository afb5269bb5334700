#include "chart/RecentRecordings.h"

#include "base/AppIdentity.h"

#include <QFileInfo>
#include <QSettings>

namespace ignivex::chart::recent_recordings {

namespace {
const QString kKey = QStringLiteral("Recording/Recent");

QSettings store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kAppName, kAppName);
}
}  // namespace

QStringList list() {
    QStringList paths = store().value(kKey).toStringList();
    // The settings file is the user's to edit: keep it to what the list shows.
    paths.removeAll(QString());
    return paths.mid(0, kKept);
}

void add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = list();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    QSettings s = store();
    s.setValue(kKey, paths.mid(0, kKept));
    s.sync();  // a list that cannot be kept costs only the list
}

}  // namespace ignivex::chart::recent_recordings
