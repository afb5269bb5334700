#pragma once

#include <QString>

namespace ignivex {

// The application title. It names the per-user settings store and the settings folder, and it
// is the source of the tool's own run-time errors.
inline const QString kAppName = QStringLiteral("Ignivex_Log");

// The program's name and version as recordings and the command line give them.
inline const QString kProgramName = QStringLiteral("Ignivex Log");
inline const QString kProgramVersion = QStringLiteral("1.1");

// Sets the application title of the running program to kAppName. Start-up, the splash's load
// and the main window's load each call it.
void applyApplicationTitle();

}  // namespace ignivex
