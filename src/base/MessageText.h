#pragma once

#include <QString>

namespace ignivex {

// Texts that come from outside (a stored value, a file name, a line of a file, a device name)
// reach a message only through these: a million-character value would freeze the box that
// lays it out, and nobody reads past a line or two anyway.
inline constexpr int kReadableLength = 100;

// `text` with control characters shown as "?", cut after `max` characters with an ellipsis.
QString readable(const QString& text, int max = kReadableLength);

// A path cut in the middle, so that both its start and its file name stay in view.
QString readablePath(const QString& path, int max = kReadableLength);

}  // namespace ignivex
