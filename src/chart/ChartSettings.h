#pragma once

#include <QString>

// The folders the chart windows remember between runs, in a settings group of their own.
namespace ignivex::chart::settings {

QString recordingFolder();  // where the last recording was opened; at first the documents folder
void setRecordingFolder(const QString& folder);
QString pictureFolder();    // where the last picture was exported; at first the documents folder
void setPictureFolder(const QString& folder);

}  // namespace ignivex::chart::settings
