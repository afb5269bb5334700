#include "review/RecentRecordings.h"

#include "base/AppIdentity.h"

#include <QFileInfo>
#include <QSettings>

namespace ignivex::chart::recent_recordings {

namespace {
const QString kKey = QStringLiteral("Recording/Recent");

}  // namespace

QStringList list() {
    QStringList paths = userSettings().value(kKey).toStringList();
    // The settings file is the user's to edit: keep it to what the list shows.
    paths.removeAll(QString());
    return paths.mid(0, kKept);
}

void add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = list();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    QSettings s = userSettings();
    s.setValue(kKey, paths.mid(0, kKept));
    s.sync();  // a list that cannot be kept costs only the list
}

}  // namespace ignivex::chart::recent_recordings
