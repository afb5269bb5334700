#pragma once

#include "tiles/TileLayout.h"

#include <QJsonObject>
#include <QStringList>

class QSettings;

namespace ignivex::tiles {

// The arrangement as JSON: {"columns": 4, "rows": 3, "pages": [{"name": "Engine", "tiles":
// [{"channel": "rpm", "kind": "dial", "column": 0, "row": 0, "columns": 2, "rows": 2,
// "low": 0, "high": 8000}]}]}.
QJsonObject toJson(const TileLayout& layout);

// What was read, and what of it had to be left out (a line each, for the user to read).
struct LayoutRead {
    TileLayout layout;
    QStringList problems;
};
// Takes what makes sense of a value that may be damaged or edited by hand: a tile that is not
// an object, names no channel or no known kind, reaches past the grid or overlaps one before
// it is left out; a scale that is not a range is forgotten; pages past the ninth are dropped.
// A value that holds no page at all gives the default arrangement.
LayoutRead layoutFromJson(const QJsonObject& object);

// Kept in the settings as one line of JSON ("Dashboard/Tiles"). Nothing kept, or a value that
// is not JSON, gives the default arrangement, and a problem says so for the latter.
inline constexpr int kMostSettingBytes = 64 * 1024;
LayoutRead loadLayout(QSettings& settings);
void saveLayout(QSettings& settings, const TileLayout& layout);

}  // namespace ignivex::tiles
