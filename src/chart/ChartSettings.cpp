#include "chart/ChartSettings.h"

#include "recovery/AppIdentity.h"

#include <QSettings>
#include <QStandardPaths>

namespace ignivex::chart::settings {

namespace {

QString folder(const char* key) {
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, kAppName, kAppName);
    return s.value(QLatin1String(key),
                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .toString();
}

void setFolder(const char* key, const QString& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kAppName, kAppName);
    s.setValue(QLatin1String(key), value);
    s.sync();
}

}  // namespace

QString recordingFolder() {
    return folder("Charts/RecordingFolder");
}
void setRecordingFolder(const QString& value) {
    setFolder("Charts/RecordingFolder", value);
}
QString pictureFolder() {
    return folder("Charts/PictureFolder");
}
void setPictureFolder(const QString& value) {
    setFolder("Charts/PictureFolder", value);
}

}  // namespace ignivex::chart::settings
