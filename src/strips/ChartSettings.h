#pragma once

#include <QString>

// The folders the chart windows remember between runs, in a settings group of their own.
namespace ignivex::chart::settings {

// Where the last recording was opened; at first the folder recordings are written to, else the
// documents folder.
QString recordingFolder();
void setRecordingFolder(const QString& folder);
QString pictureFolder();  // where the last picture was exported; at first the documents folder
void setPictureFolder(const QString& folder);
// The strips the charts show, as Arrangement::toText writes them; empty at first.
QString stripArrangement();
void setStripArrangement(const QString& text);

}  // namespace ignivex::chart::settings
