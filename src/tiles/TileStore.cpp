#include "tiles/TileStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <cmath>

namespace ignivex::tiles {

namespace {
const QString kKey = QStringLiteral("Dashboard/Tiles");
constexpr int kLongestName = 64;

// A whole number within [low, high] or nothing: 2.5 and "2" are not a cell.
std::optional<int> wholeIn(const QJsonValue& v, int low, int high) {
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!(d >= low && d <= high) || d != std::floor(d))
        return std::nullopt;
    return int(d);
}

std::optional<Tile> tileFrom(const QJsonValue& value, int columns, int rows, QString* why) {
    if (!value.isObject()) {
        *why = QStringLiteral("is not an object");
        return std::nullopt;
    }
    const QJsonObject o = value.toObject();
    Tile t;
    t.channel = o.value(QLatin1String("channel")).toString().trimmed();
    if (t.channel.isEmpty() || t.channel.size() > kLongestName) {
        *why = QStringLiteral("names no channel");
        return std::nullopt;
    }
    const auto kind = kindFrom(o.value(QLatin1String("kind")).toString());
    if (!kind) {
        *why = QStringLiteral("(%1) has no kind of dial, bar, number or lamp").arg(t.channel);
        return std::nullopt;
    }
    t.kind = *kind;
    const auto column = wholeIn(o.value(QLatin1String("column")), 0, columns - 1);
    const auto row = wholeIn(o.value(QLatin1String("row")), 0, rows - 1);
    const QJsonValue spanC = o.value(QLatin1String("columns"));
    const QJsonValue spanR = o.value(QLatin1String("rows"));
    const auto columnSpan = spanC.isUndefined() ? std::optional<int>(1) : wholeIn(spanC, 1, columns);
    const auto rowSpan = spanR.isUndefined() ? std::optional<int>(1) : wholeIn(spanR, 1, rows);
    if (!column || !row || !columnSpan || !rowSpan) {
        *why = QStringLiteral("(%1) has no place on a grid of %2 x %3").arg(t.channel).arg(columns).arg(rows);
        return std::nullopt;
    }
    t.column = *column;
    t.row = *row;
    t.columnSpan = *columnSpan;
    t.rowSpan = *rowSpan;
    const QJsonValue low = o.value(QLatin1String("low"));
    const QJsonValue high = o.value(QLatin1String("high"));
    if (low.isDouble() && high.isDouble() && std::isfinite(low.toDouble()) &&
        std::isfinite(high.toDouble()) && low.toDouble() < high.toDouble()) {
        t.low = low.toDouble();
        t.high = high.toDouble();
    }
    return t;
}
}  // namespace

QJsonObject toJson(const TileLayout& layout) {
    QJsonArray pages;
    for (const Page& p : layout.pages()) {
        QJsonArray tiles;
        for (const Tile& t : p.tiles) {
            QJsonObject o{{QStringLiteral("channel"), t.channel},
                          {QStringLiteral("kind"), kindKey(t.kind)},
                          {QStringLiteral("column"), t.column},
                          {QStringLiteral("row"), t.row},
                          {QStringLiteral("columns"), t.columnSpan},
                          {QStringLiteral("rows"), t.rowSpan}};
            if (t.low && t.high) {
                o.insert(QStringLiteral("low"), *t.low);
                o.insert(QStringLiteral("high"), *t.high);
            }
            tiles.append(o);
        }
        pages.append(QJsonObject{{QStringLiteral("name"), p.name}, {QStringLiteral("tiles"), tiles}});
    }
    return {{QStringLiteral("columns"), layout.columns()},
            {QStringLiteral("rows"), layout.rows()},
            {QStringLiteral("pages"), pages}};
}

LayoutRead layoutFromJson(const QJsonObject& object) {
    LayoutRead out;
    const QJsonValue c = object.value(QLatin1String("columns"));
    const QJsonValue r = object.value(QLatin1String("rows"));
    const auto columns = wholeIn(c, 1, TileLayout::kMaxSide);
    const auto rows = wholeIn(r, 1, TileLayout::kMaxSide);
    if ((!c.isUndefined() && !columns) || (!r.isUndefined() && !rows))
        out.problems << QStringLiteral("The grid's columns and rows are 1 to %1; %2 x %3 is used.")
                            .arg(TileLayout::kMaxSide)
                            .arg(columns.value_or(TileLayout::kDefaultColumns))
                            .arg(rows.value_or(TileLayout::kDefaultRows));
    TileLayout layout(columns.value_or(TileLayout::kDefaultColumns),
                      rows.value_or(TileLayout::kDefaultRows));
    const QJsonArray pages = object.value(QLatin1String("pages")).toArray();
    int made = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (made == TileLayout::kMaxPages) {
            out.problems << QStringLiteral("Only %1 pages are kept; %2 more were left out.")
                                .arg(TileLayout::kMaxPages)
                                .arg(pages.size() - p);
            break;
        }
        if (!pages[p].isObject()) {
            out.problems << QStringLiteral("Page %1 is not an object and was left out.").arg(p + 1);
            continue;
        }
        const QJsonObject page = pages[p].toObject();
        QString name = page.value(QLatin1String("name")).toString().trimmed().left(kLongestName);
        if (name.isEmpty())
            name = QStringLiteral("Page %1").arg(made + 1);
        // The layout starts with one page, which the first read page becomes.
        if (made == 0)
            layout.renamePage(0, name);
        else
            layout.addPage(name);
        const QJsonArray tiles = page.value(QLatin1String("tiles")).toArray();
        for (qsizetype i = 0; i < tiles.size(); ++i) {
            QString why;
            const auto tile = tileFrom(tiles[i], layout.columns(), layout.rows(), &why);
            if (!tile)
                out.problems << QStringLiteral("Tile %1 of %2 %3 and was left out.")
                                    .arg(i + 1)
                                    .arg(name, why);
            else if (!layout.add(made, *tile))
                out.problems << QStringLiteral("Tile %1 of %2 (%3) overlaps another and was left out.")
                                    .arg(i + 1)
                                    .arg(name, tile->channel);
        }
        ++made;
    }
    if (made == 0) {
        if (!object.isEmpty())
            out.problems << QStringLiteral("The kept tiles hold no page; the default tiles are shown.");
        out.layout = TileLayout::defaults();
        return out;
    }
    out.layout = std::move(layout);
    return out;
}

LayoutRead loadLayout(QSettings& settings) {
    const QString text = settings.value(kKey).toString();
    if (text.isEmpty())
        return {TileLayout::defaults(), {}};
    QJsonParseError error{};
    const QJsonDocument doc = text.size() > kMostSettingBytes
                                  ? QJsonDocument()
                                  : QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!doc.isObject())
        return {TileLayout::defaults(),
                {QStringLiteral("The kept tiles (%1 in the settings) could not be read, so the "
                                "default tiles are shown; arranging them again replaces the "
                                "kept value.")
                     .arg(kKey)}};
    return layoutFromJson(doc.object());
}

void saveLayout(QSettings& settings, const TileLayout& layout) {
    settings.setValue(kKey, QString::fromUtf8(QJsonDocument(toJson(layout)).toJson(QJsonDocument::Compact)));
    settings.sync();
}

}  // namespace ignivex::tiles
