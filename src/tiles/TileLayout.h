#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ignivex::tiles {

// How a tile shows its channel.
enum class Kind { Dial, Bar, Number, Lamp };
QString kindKey(Kind kind);                       // "dial", "bar", "number", "lamp"
std::optional<Kind> kindFrom(const QString& key);  // nothing for another word

// One channel on the dashboard: a rectangle of whole cells of its page's grid.
struct Tile {
    QString channel;  // a column name: the module's ("rpm") or a channel by formula's
    Kind kind = Kind::Number;
    int column = 0;
    int row = 0;
    int columnSpan = 1;
    int rowSpan = 1;
    // The scale of a dial or a bar; nothing: the channel's usual range.
    std::optional<double> low, high;
    bool operator==(const Tile&) const = default;
    bool covers(int c, int r) const {
        return c >= column && c < column + columnSpan && r >= row && r < row + rowSpan;
    }
};

struct Page {
    QString name;
    std::vector<Tile> tiles;
    bool operator==(const Page&) const = default;
};

// The dashboard's pages, each a grid of the same columns and rows, its tiles never overlapping
// and never reaching past the grid. Every edit keeps that: one that would break it changes
// nothing and says so by returning false.
class TileLayout {
public:
    static constexpr int kMaxPages = 9;    // one a number key
    static constexpr int kMaxSide = 8;     // columns or rows of a grid
    static constexpr int kDefaultColumns = 4;
    static constexpr int kDefaultRows = 3;

    TileLayout(int columns = kDefaultColumns, int rows = kDefaultRows);
    // Two pages of the module's channels.
    static TileLayout defaults();

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int pageCount() const { return int(pages_.size()); }
    const Page& page(int index) const { return pages_[std::size_t(index)]; }
    const std::vector<Page>& pages() const { return pages_; }
    // The tile covering that cell, as its index on the page.
    std::optional<int> tileAt(int page, int column, int row) const;
    // Whether the tile fits the page's grid and overlaps none of its tiles but `ignoring`.
    bool fits(int page, const Tile& tile, std::optional<int> ignoring = std::nullopt) const;

    bool add(int page, const Tile& tile);
    // A tile of one cell in the first free cell (row by row); false when the page is full.
    bool addWherever(int page, const QString& channel, Kind kind);
    bool remove(int page, int index);
    // To another cell (its top left corner), its size kept.
    bool move(int page, int index, int column, int row);
    bool resize(int page, int index, int columnSpan, int rowSpan);
    bool setChannel(int page, int index, const QString& channel);
    bool setKind(int page, int index, Kind kind);
    // A new empty page at the end; false once there are kMaxPages.
    bool addPage(const QString& name);
    // The last page is never removed: a dashboard has one at least.
    bool removePage(int page);
    bool renamePage(int page, const QString& name);

    bool operator==(const TileLayout&) const = default;

private:
    bool valid(int page, int index) const;

    int columns_;
    int rows_;
    std::vector<Page> pages_;
};

}  // namespace ignivex::tiles
