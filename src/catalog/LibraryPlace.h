#pragma once

#include "catalog/RunStore.h"

#include <QString>
#include <memory>

// Which library a command or the window uses.
namespace ignivex::catalog {

// The local library: library.sqlite in the user's data folder (QStandardPaths'
// AppDataLocation: ~/.local/share/Ignivex_Log on Linux, %APPDATA%\Ignivex_Log on Windows).
QString defaultLibraryPath();

// Opens the library `place` names: a SQLite file's path, or the local library when empty. A
// server's URL is refused, saying so: team::openStore takes those. Nothing on refusal, with the reason in `why`.
std::unique_ptr<RunStore> openLibrary(const QString& place, QString* why);

}  // namespace ignivex::catalog
