#include "dashboard/TileGrid.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace ignivex::dash {

namespace {
const char* const kCells = "cells";  // a tile's cell rectangle, kept on the widget
}

TileGrid::TileGrid(QWidget* parent) : QWidget(parent), hold_(new QTimer(this)) {
    setObjectName(QStringLiteral("tileGrid"));
    installEventFilter(this);  // presses on an empty cell, as on a tile
    hold_->setSingleShot(true);
    hold_->setInterval(kHoldMs);
    connect(hold_, &QTimer::timeout, this, [this] {
        // Held without moving: the menu, as a right click gives it.
        pressed_ = false;
        const auto [c, r] = cellAt(pressedAt_);
        emit menuAsked(mapToGlobal(pressedAt_), c, r);
    });
}

void TileGrid::setGrid(int columns, int rows) {
    columns_ = std::max(1, columns);
    rows_ = std::max(1, rows);
    relayout();
}

void TileGrid::place(QWidget* tile, const tiles::Tile& cells) {
    tile->setProperty(kCells, QRect(cells.column, cells.row, cells.columnSpan, cells.rowSpan));
    tile->installEventFilter(this);
    tile->setGeometry(cellRect(cells.column, cells.row, cells.columnSpan, cells.rowSpan));
}

QRect TileGrid::cellRect(int column, int row, int columnSpan, int rowSpan) const {
    const double w = double(width()) / columns_;
    const double h = double(height()) / rows_;
    const int x0 = int(std::lround(column * w)), x1 = int(std::lround((column + columnSpan) * w));
    const int y0 = int(std::lround(row * h)), y1 = int(std::lround((row + rowSpan) * h));
    return {x0, y0, x1 - x0, y1 - y0};
}

std::pair<int, int> TileGrid::cellAt(QPoint point) const {
    const int c = std::clamp(int(point.x() * columns_ / std::max(1, width())), 0, columns_ - 1);
    const int r = std::clamp(int(point.y() * rows_ / std::max(1, height())), 0, rows_ - 1);
    return {c, r};
}

void TileGrid::relayout() {
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || !w->property(kCells).isValid())
            continue;
        const QRect cells = w->property(kCells).toRect();
        w->setGeometry(cellRect(cells.x(), cells.y(), cells.width(), cells.height()));
    }
}

void TileGrid::resizeEvent(QResizeEvent* event) {
    relayout();
    QWidget::resizeEvent(event);
}

void TileGrid::contextMenuEvent(QContextMenuEvent* event) {
    hold_->stop();
    pressed_ = false;
    const auto [c, r] = cellAt(mapFromGlobal(event->globalPos()));
    emit menuAsked(event->globalPos(), c, r);
}

bool TileGrid::eventFilter(QObject* watched, QEvent* event) {
    // The tiles' presses are the grid's: a swipe may start on any of them.
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton)
            return false;
        pressedAt_ = w->mapTo(this, m->position().toPoint());
        pressed_ = true;
        hold_->start();
        return false;
    }
    case QEvent::MouseMove: {
        const QPoint at = w->mapTo(this, static_cast<QMouseEvent*>(event)->position().toPoint());
        if ((at - pressedAt_).manhattanLength() > 12)
            hold_->stop();
        return false;
    }
    case QEvent::MouseButtonRelease: {
        hold_->stop();
        if (!pressed_)
            return false;
        pressed_ = false;
        const QPoint d = w->mapTo(this, static_cast<QMouseEvent*>(event)->position().toPoint()) -
                         pressedAt_;
        // Across, a sixth of the width or more, and more across than up or down.
        if (std::abs(d.x()) > width() / 6 && std::abs(d.x()) > 2 * std::abs(d.y()))
            emit swiped(d.x() < 0 ? 1 : -1);
        return false;
    }
    default:
        return false;
    }
}

}  // namespace ignivex::dash
