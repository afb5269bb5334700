#pragma once

#include <QSettings>
#include <QString>

namespace ignivex {

// The application title. It names the per-user settings store and the settings folder, and it
// is the source of the tool's own run-time errors.
inline const QString kAppName = QStringLiteral("Ignivex_Log");

// The program's name and version as recordings and the command line give them.
inline const QString kProgramName = QStringLiteral("Ignivex Log");
inline const QString kProgramVersion = QStringLiteral("1.1");

// The per-user store of the program's settings besides the port: the recording folder and rate,
// the recent recordings, the charts' folders and arrangement. On Linux it is the port's own
// settings file (one file a user can find); on Windows the program's key under Software.
QSettings userSettings();

// Sets the application title of the running program to kAppName. Start-up, the splash's load
// and the main window's load each call it.
void applyApplicationTitle();

}  // namespace ignivex
