#pragma once

#include "tiles/TileLayout.h"

#include <QWidget>

namespace ignivex::dash {

// The page's tiles in their cells, with the touches on them: a swipe across turns the page,
// a right click (or a press held on a touch screen) asks for the tile's or the cell's menu.
class TileGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHoldMs = 700;

    explicit TileGrid(QWidget* parent = nullptr);
    // The grid's columns and rows, and each child's cell rectangle, laid out on resize.
    void setGrid(int columns, int rows);
    void place(QWidget* tile, const tiles::Tile& cells);
    QRect cellRect(int column, int row, int columnSpan = 1, int rowSpan = 1) const;
    // The cell under a point of the grid.
    std::pair<int, int> cellAt(QPoint point) const;

signals:
    // +1: the next page, -1: the previous one.
    void swiped(int direction);
    void menuAsked(QPoint globalPos, int column, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void relayout();

    int columns_ = 1;
    int rows_ = 1;
    QPoint pressedAt_;
    bool pressed_ = false;
    QTimer* hold_;
};

}  // namespace ignivex::dash
