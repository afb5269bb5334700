#pragma once

#include <QIcon>

namespace ignivex {

// The window icon: a small tachometer face, drawn in a handful of flat colours so it stays
// clear at 16 and 32 pixels.
QIcon appIcon();

}  // namespace ignivex
