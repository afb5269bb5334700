#include "tiles/TileLayout.h"

#include <algorithm>

namespace ignivex::tiles {

namespace {
struct KindName {
    Kind kind;
    const char* key;
};
constexpr KindName kKinds[] = {
    {Kind::Dial, "dial"}, {Kind::Bar, "bar"}, {Kind::Number, "number"}, {Kind::Lamp, "lamp"}};
}  // namespace

QString kindKey(Kind kind) {
    for (const KindName& k : kKinds) {
        if (k.kind == kind)
            return QLatin1String(k.key);
    }
    return {};
}

std::optional<Kind> kindFrom(const QString& key) {
    for (const KindName& k : kKinds) {
        if (key == QLatin1String(k.key))
            return k.kind;
    }
    return std::nullopt;
}

TileLayout::TileLayout(int columns, int rows)
    : columns_(std::clamp(columns, 1, kMaxSide)), rows_(std::clamp(rows, 1, kMaxSide)) {
    pages_.push_back({QStringLiteral("Page 1"), {}});
}

TileLayout TileLayout::defaults() {
    TileLayout t;
    t.pages_.clear();
    // The first page is the pull: speed and advance large, the rest along the bottom.
    t.pages_.push_back({QStringLiteral("Engine"),
                        {{QStringLiteral("rpm"), Kind::Dial, 0, 0, 2, 2, 0, 8000},
                         {QStringLiteral("advance"), Kind::Dial, 2, 0, 2, 2, 0, 45},
                         {QStringLiteral("map"), Kind::Bar, 0, 2, 1, 1, {}, {}},
                         {QStringLiteral("battery_v"), Kind::Number, 1, 2, 1, 1, {}, {}},
                         {QStringLiteral("gpi1"), Kind::Lamp, 2, 2, 1, 1, {}, {}},
                         {QStringLiteral("gpi2"), Kind::Lamp, 3, 2, 1, 1, {}, {}}}});
    t.pages_.push_back({QStringLiteral("Inputs"),
                        {{QStringLiteral("battery_v"), Kind::Dial, 0, 0, 2, 2, 8, 18},
                         {QStringLiteral("gpi3_v"), Kind::Bar, 2, 0, 2, 1, 0, 5},
                         {QStringLiteral("rpm"), Kind::Number, 2, 1, 2, 1, {}, {}},
                         {QStringLiteral("gpi1"), Kind::Lamp, 0, 2, 1, 1, {}, {}},
                         {QStringLiteral("gpi2"), Kind::Lamp, 1, 2, 1, 1, {}, {}},
                         {QStringLiteral("gpi3"), Kind::Lamp, 2, 2, 1, 1, {}, {}},
                         {QStringLiteral("map"), Kind::Number, 3, 2, 1, 1, {}, {}}}});
    return t;
}

bool TileLayout::valid(int page, int index) const {
    return page >= 0 && page < pageCount() && index >= 0 &&
           index < int(pages_[std::size_t(page)].tiles.size());
}

std::optional<int> TileLayout::tileAt(int page, int column, int row) const {
    if (page < 0 || page >= pageCount())
        return std::nullopt;
    const auto& tiles = pages_[std::size_t(page)].tiles;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].covers(column, row))
            return int(i);
    }
    return std::nullopt;
}

bool TileLayout::fits(int page, const Tile& tile, std::optional<int> ignoring) const {
    if (page < 0 || page >= pageCount() || tile.channel.isEmpty())
        return false;
    if (tile.column < 0 || tile.row < 0 || tile.columnSpan < 1 || tile.rowSpan < 1 ||
        tile.columnSpan > columns_ - tile.column || tile.rowSpan > rows_ - tile.row)
        return false;
    const auto& tiles = pages_[std::size_t(page)].tiles;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (ignoring && int(i) == *ignoring)
            continue;
        const Tile& o = tiles[i];
        const bool apart = tile.column + tile.columnSpan <= o.column ||
                           o.column + o.columnSpan <= tile.column ||
                           tile.row + tile.rowSpan <= o.row || o.row + o.rowSpan <= tile.row;
        if (!apart)
            return false;
    }
    return true;
}

bool TileLayout::add(int page, const Tile& tile) {
    if (!fits(page, tile))
        return false;
    pages_[std::size_t(page)].tiles.push_back(tile);
    return true;
}

bool TileLayout::addWherever(int page, const QString& channel, Kind kind) {
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c) {
            if (add(page, {channel, kind, c, r, 1, 1, {}, {}}))
                return true;
        }
    }
    return false;
}

bool TileLayout::remove(int page, int index) {
    if (!valid(page, index))
        return false;
    auto& tiles = pages_[std::size_t(page)].tiles;
    tiles.erase(tiles.begin() + index);
    return true;
}

bool TileLayout::move(int page, int index, int column, int row) {
    if (!valid(page, index))
        return false;
    Tile moved = pages_[std::size_t(page)].tiles[std::size_t(index)];
    moved.column = column;
    moved.row = row;
    if (!fits(page, moved, index))
        return false;
    pages_[std::size_t(page)].tiles[std::size_t(index)] = moved;
    return true;
}

bool TileLayout::resize(int page, int index, int columnSpan, int rowSpan) {
    if (!valid(page, index))
        return false;
    Tile resized = pages_[std::size_t(page)].tiles[std::size_t(index)];
    resized.columnSpan = columnSpan;
    resized.rowSpan = rowSpan;
    if (!fits(page, resized, index))
        return false;
    pages_[std::size_t(page)].tiles[std::size_t(index)] = resized;
    return true;
}

bool TileLayout::setChannel(int page, int index, const QString& channel) {
    if (!valid(page, index) || channel.isEmpty())
        return false;
    Tile& t = pages_[std::size_t(page)].tiles[std::size_t(index)];
    if (t.channel != channel) {
        // Another channel's scale is not this one's.
        t.low.reset();
        t.high.reset();
    }
    t.channel = channel;
    return true;
}

bool TileLayout::setKind(int page, int index, Kind kind) {
    if (!valid(page, index))
        return false;
    pages_[std::size_t(page)].tiles[std::size_t(index)].kind = kind;
    return true;
}

bool TileLayout::addPage(const QString& name) {
    if (pageCount() >= kMaxPages)
        return false;
    pages_.push_back({name, {}});
    return true;
}

bool TileLayout::removePage(int page) {
    if (page < 0 || page >= pageCount() || pageCount() == 1)
        return false;
    pages_.erase(pages_.begin() + page);
    return true;
}

bool TileLayout::renamePage(int page, const QString& name) {
    if (page < 0 || page >= pageCount())
        return false;
    pages_[std::size_t(page)].name = name;
    return true;
}

}  // namespace ignivex::tiles
