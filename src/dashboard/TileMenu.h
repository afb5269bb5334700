#pragma once

#include "record/ChannelInfo.h"
#include "tiles/TileLayout.h"

#include <functional>
#include <vector>

class QMenu;
class QWidget;

namespace ignivex::dash {

// The arrangement edited from menus: each item makes the new arrangement and hands it to
// `apply`; an item whose edit cannot be made (past the grid's edge, onto another tile) is
// shown disabled.
struct MenuContext {
    const tiles::TileLayout& layout;
    int page;
    const std::vector<record::ChannelInfo>& channels;
    std::function<void(const tiles::TileLayout&)> apply;
    QWidget* owner;  // of the dialogs a menu item opens
};

// For the tile `index` of the page: its channel, kind, size, place and scale, and Remove.
void fillTileMenu(QMenu& menu, const MenuContext& context, int index);
// For an empty cell: a tile of each channel there.
void fillCellMenu(QMenu& menu, const MenuContext& context, int column, int row);
// The page's own: a new tile wherever there is room, each tile's menu (for a touch screen,
// where there is no right click), a new page, renaming and removing it.
void fillPageMenu(QMenu& menu, const MenuContext& context);

}  // namespace ignivex::dash
