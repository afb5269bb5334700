#pragma once

#include "branding/ProgramFiles.h"
#include "recovery/Recovery.h"

#include <QString>
#include <QStringList>

class QIODevice;

namespace ignivex {

// A branding file is a few lines; a larger one is refused and the built-in branding used.
inline constexpr qint64 kMaxBrandingFileBytes = 1024 * 1024;

// What the tool shows when there is no branding file.
QStringList defaultSplashLines();
QStringList defaultAboutLines();

// True for a "!" line: its first character is "!". An empty line is not one.
bool isBangLine(const QString& line);

// Reads the sections of an open branding file from `in` and appends them to the two lists:
// the leading "!" lines are skipped, the splash section runs up to the next "!" line (which is
// dropped), and everything after it belongs to the About section. Lines end with CR LF, LF or CR;
// bytes are Latin-1 and taken verbatim. Each failing read goes through `recovery`: Retry reads
// again, Ignore goes on with the line read last. `path` names the file in the messages.
// Returns false when the user chose Abort: the caller leaves its procedure, and the lists keep
// what they hold.
[[nodiscard]] bool readBranding(QIODevice& in, const QString& path, Recovery& recovery,
                                QStringList& splashLines, QStringList& aboutLines);

// Loads the branding of the program in `programFolder` into the two lists: from the file when
// it exists, else the defaults. Failures to open or read go through `recovery` as above. A file
// over kMaxBrandingFileBytes is not read: a warning says so and the defaults are used.
// Returns false when the user chose Abort.
[[nodiscard]] bool LoadBranding(const QString& programFolder, Recovery& recovery,
                                QStringList& splashLines, QStringList& aboutLines);

}  // namespace ignivex
