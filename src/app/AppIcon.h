#pragma once

#include <QIcon>
#include <QImage>

namespace ignivex {

// The window icon: a small tachometer face, drawn in a handful of flat colours so it stays
// clear at 16 and 32 pixels.
QIcon appIcon();

// The same face drawn at `size` by `size` pixels; the installed icons are made from it.
QImage appIconImage(int size);

}  // namespace ignivex
