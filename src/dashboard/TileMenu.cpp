#include "dashboard/TileMenu.h"

#include <QInputDialog>
#include <QLocale>
#include <QMenu>

namespace ignivex::dash {

namespace {
using tiles::Kind;
using tiles::TileLayout;

constexpr Kind kKinds[] = {Kind::Dial, Kind::Bar, Kind::Number, Kind::Lamp};

QString kindName(Kind k) {
    switch (k) {
    case Kind::Dial:
        return QStringLiteral("&Dial");
    case Kind::Bar:
        return QStringLiteral("&Bar");
    case Kind::Number:
        return QStringLiteral("&Number");
    case Kind::Lamp:
        return QStringLiteral("&Lamp");
    }
    return {};
}

QString channelLabel(const record::ChannelInfo& c) {
    return c.name == c.column ? c.name : QStringLiteral("%1 (%2)").arg(c.name, c.column);
}

// An item that applies `edit` to a copy of the arrangement; disabled when the edit refuses.
void addEdit(QMenu& menu, const MenuContext& cx, const QString& text,
             const std::function<bool(TileLayout&)>& edit) {
    TileLayout changed = cx.layout;
    const bool possible = edit(changed);
    QAction* a = menu.addAction(text);
    a->setEnabled(possible);
    if (possible)
        QObject::connect(a, &QAction::triggered, &menu, [apply = cx.apply, changed] { apply(changed); });
}
}  // namespace

void fillTileMenu(QMenu& menu, const MenuContext& cx, int index) {
    const tiles::Tile& t = cx.layout.page(cx.page).tiles[std::size_t(index)];
    const int page = cx.page;
    QMenu* channel = menu.addMenu(QStringLiteral("&Channel"));
    for (const record::ChannelInfo& c : cx.channels) {
        QAction* a = channel->addAction(channelLabel(c));
        a->setCheckable(true);
        a->setChecked(c.column == t.channel);
        TileLayout changed = cx.layout;
        changed.setChannel(page, index, c.column);
        QObject::connect(a, &QAction::triggered, &menu, [apply = cx.apply, changed] { apply(changed); });
    }
    QMenu* kind = menu.addMenu(QStringLiteral("&Kind"));
    for (const Kind k : kKinds) {
        TileLayout changed = cx.layout;
        changed.setKind(page, index, k);
        QAction* a = kind->addAction(kindName(k));
        a->setCheckable(true);
        a->setChecked(k == t.kind);
        QObject::connect(a, &QAction::triggered, &menu, [apply = cx.apply, changed] { apply(changed); });
    }
    QMenu* size = menu.addMenu(QStringLiteral("&Size"));
    addEdit(*size, cx, QStringLiteral("&Wider"),
            [&](TileLayout& l) { return l.resize(page, index, t.columnSpan + 1, t.rowSpan); });
    addEdit(*size, cx, QStringLiteral("&Narrower"),
            [&](TileLayout& l) { return l.resize(page, index, t.columnSpan - 1, t.rowSpan); });
    addEdit(*size, cx, QStringLiteral("&Taller"),
            [&](TileLayout& l) { return l.resize(page, index, t.columnSpan, t.rowSpan + 1); });
    addEdit(*size, cx, QStringLiteral("&Shorter"),
            [&](TileLayout& l) { return l.resize(page, index, t.columnSpan, t.rowSpan - 1); });
    QMenu* move = menu.addMenu(QStringLiteral("&Move"));
    addEdit(*move, cx, QStringLiteral("&Left"),
            [&](TileLayout& l) { return l.move(page, index, t.column - 1, t.row); });
    addEdit(*move, cx, QStringLiteral("&Right"),
            [&](TileLayout& l) { return l.move(page, index, t.column + 1, t.row); });
    addEdit(*move, cx, QStringLiteral("&Up"),
            [&](TileLayout& l) { return l.move(page, index, t.column, t.row - 1); });
    addEdit(*move, cx, QStringLiteral("&Down"),
            [&](TileLayout& l) { return l.move(page, index, t.column, t.row + 1); });
    QMenu* toPage = menu.addMenu(QStringLiteral("To &Page"));
    for (int p = 0; p < cx.layout.pageCount(); ++p) {
        if (p == page)
            continue;
        addEdit(*toPage, cx, QStringLiteral("%1 %2").arg(p + 1).arg(cx.layout.page(p).name),
                [&](TileLayout& l) { return l.addWherever(p, t.channel, t.kind) && l.remove(page, index); });
    }
    if (t.kind == Kind::Dial || t.kind == Kind::Bar) {
        QAction* scale = menu.addAction(QStringLiteral("S&cale\u2026"));
        QObject::connect(scale, &QAction::triggered, &menu,
                         [apply = cx.apply, layout = cx.layout, page, index, owner = cx.owner] {
            const tiles::Tile& tile = layout.page(page).tiles[std::size_t(index)];
            bool ok = false;
            const QString text = QInputDialog::getText(
                owner, QStringLiteral("Scale"),
                QStringLiteral("The scale of %1, as two numbers: low and high (empty: the "
                               "channel's usual range)")
                    .arg(tile.channel),
                QLineEdit::Normal,
                tile.low ? QStringLiteral("%1 %2").arg(*tile.low).arg(*tile.high) : QString(), &ok);
            if (!ok)
                return;
            const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            tiles::Tile changed = tile;
            changed.low.reset();
            changed.high.reset();
            bool lowOk = false, highOk = false;
            if (parts.size() == 2) {
                const double low = QLocale::c().toDouble(parts[0], &lowOk);
                const double high = QLocale::c().toDouble(parts[1], &highOk);
                if (lowOk && highOk && low < high) {
                    changed.low = low;
                    changed.high = high;
                }
            }
            TileLayout l = layout;
            l.remove(page, index);
            l.add(page, changed);
            apply(l);
        });
    }
    menu.addSeparator();
    addEdit(menu, cx, QStringLiteral("&Remove Tile"), [&](TileLayout& l) { return l.remove(page, index); });
}

void fillCellMenu(QMenu& menu, const MenuContext& cx, int column, int row) {
    QMenu* add = menu.addMenu(QStringLiteral("&Add Tile Here"));
    for (const record::ChannelInfo& c : cx.channels) {
        const Kind kind = c.onOff() ? Kind::Lamp : Kind::Number;
        addEdit(*add, cx, channelLabel(c), [&](TileLayout& l) {
            return l.add(cx.page, {c.column, kind, column, row, 1, 1, {}, {}});
        });
    }
}

void fillPageMenu(QMenu& menu, const MenuContext& cx) {
    QMenu* add = menu.addMenu(QStringLiteral("&Add Tile"));
    for (const record::ChannelInfo& c : cx.channels) {
        const Kind kind = c.onOff() ? Kind::Lamp : Kind::Number;
        addEdit(*add, cx, channelLabel(c),
                [&](TileLayout& l) { return l.addWherever(cx.page, c.column, kind); });
    }
    const auto& tiles = cx.layout.page(cx.page).tiles;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        QMenu* one = menu.addMenu(QStringLiteral("Tile %1: %2 (%3)")
                                      .arg(i + 1)
                                      .arg(tiles[i].channel, tiles::kindKey(tiles[i].kind)));
        fillTileMenu(*one, cx, int(i));
    }
    menu.addSeparator();
    addEdit(menu, cx, QStringLiteral("&New Page"), [&](TileLayout& l) {
        return l.addPage(QStringLiteral("Page %1").arg(l.pageCount() + 1));
    });
    QAction* rename = menu.addAction(QStringLiteral("Re&name Page\u2026"));
    QObject::connect(rename, &QAction::triggered, &menu,
                     [apply = cx.apply, layout = cx.layout, page = cx.page, owner = cx.owner] {
        bool ok = false;
        const QString name = QInputDialog::getText(owner, QStringLiteral("Rename Page"),
                                                   QStringLiteral("The page's name:"),
                                                   QLineEdit::Normal, layout.page(page).name, &ok)
                                 .simplified()
                                 .left(64);
        TileLayout l = layout;
        if (ok && !name.isEmpty() && l.renamePage(page, name))
            apply(l);
    });
    addEdit(menu, cx, QStringLiteral("&Remove Page"), [&](TileLayout& l) { return l.removePage(cx.page); });
}

}  // namespace ignivex::dash
