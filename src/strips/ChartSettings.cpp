#include "strips/ChartSettings.h"

#include "base/AppIdentity.h"

#include <QSettings>
#include <QStandardPaths>

namespace ignivex::chart::settings {

namespace {

QString folder(const char* key, const char* otherwise = nullptr) {
    const QSettings s = userSettings();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fallback =
        otherwise ? s.value(QLatin1String(otherwise), documents).toString() : documents;
    return s.value(QLatin1String(key), fallback).toString();
}

void setFolder(const char* key, const QString& value) {
    QSettings s = userSettings();
    s.setValue(QLatin1String(key), value);
    s.sync();
}

}  // namespace

QString recordingFolder() {
    // Until a recording has been opened, where File, Record... writes them.
    return folder("Charts/RecordingFolder", "Recording/Folder");
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

QString stripArrangement() {
    const QSettings s = userSettings();
    return s.value(QStringLiteral("Charts/Strips")).toString();
}
void setStripArrangement(const QString& text) {
    setFolder("Charts/Strips", text);
}

}  // namespace ignivex::chart::settings
