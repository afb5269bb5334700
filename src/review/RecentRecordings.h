#pragma once

#include <QString>
#include <QStringList>

// The recordings opened or made last, newest first, kept per user in the settings file's own
// "Recording" group for File's list of recent recordings.
namespace ignivex::chart::recent_recordings {

inline constexpr int kKept = 8;

QStringList list();
// Puts `path` first (once), keeping at most kKept.
void add(const QString& path);

}  // namespace ignivex::chart::recent_recordings
