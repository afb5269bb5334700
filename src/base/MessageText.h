#pragma once

#include <QString>
#include <QStringList>

namespace ignivex {

// Texts that come from outside (a stored value, a file name, a line of a file, a device name)
// reach a message only through these: a million-character value would freeze the box that
// lays it out, and nobody reads past a line or two anyway.
inline constexpr int kReadableLength = 100;

// `text` with control characters shown as "?", cut after `max` characters with an ellipsis.
QString readable(const QString& text, int max = kReadableLength);

// `items` joined by `separator`, as many whole items as fit in `max` characters, then an
// ellipsis for the rest; each item is made readable first.
QString readableList(const QStringList& items, const QString& separator, int max = kReadableLength);

// A path cut in the middle, so that both its start and its file name stay in view.
QString readablePath(const QString& path, int max = kReadableLength);

}  // namespace ignivex
