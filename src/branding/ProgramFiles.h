#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

namespace ignivex {

// Where the program finds its files, logged under "ignivex.files" at info level (off unless
// QT_LOGGING_RULES turns it on): support asks a user for it, and the install check reads it.
Q_DECLARE_LOGGING_CATEGORY(lcFiles)

// The branding file's name. It is only ever read.
inline const char* const kBrandingFileName = "Ignivex_Log.cfg";
// The logo that ships with the program's own files (the default splash names it).
inline const char* const kDefaultLogoName = "Velmora_Sensors_Logo.gif";

// The folder that holds the program's own files (the default logo and the help pages) for the
// executable in `programFolder`. A build puts them beside the executable, so that folder is
// taken when it holds either; an installed program has them in share/ignivex-log relative to
// its executable, whatever the prefix. When neither is there the answer is the executable's
// folder, so that messages name the place the build would have put them.
QString programFilesFolder(const QString& programFolder);

// Where the branding file is looked for, in order: beside the executable, then in
// ignivex-log/ under each folder of XDG_CONFIG_DIRS (default /etc/xdg), then in
// /etc/ignivex-log/. An installed program's folder is no place for a file of the user's.
QStringList brandingFileCandidates(const QString& programFolder);

// The branding file that applies to the program in `programFolder`: the first that exists of
// the places brandingFileCandidates() lists, else the one beside the executable.
QString brandingFilePath(const QString& programFolder);

// The picture that the logo name `logoName` of the splash section stands for: relative to the
// folder of the branding file in use, else to the program's own files (where the default logo
// ships). When it is in neither, the first place is returned, for the message.
QString logoPath(const QString& programFolder, const QString& logoName);

}  // namespace ignivex
