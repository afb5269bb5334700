#pragma once

#include <QRect>
#include <QtMath>

namespace ignivex {

// The window designs are measured in twips: 1440 to the inch, 15 to the logical pixel at
// 96 dots per inch. Qt scales logical pixels on high-density screens.
constexpr int kTwipsPerPixel = 15;

inline int twips(int value) {
    return qRound(value / double(kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace ignivex
