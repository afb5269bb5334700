// The dashboard's arrangement: kept in the settings and read back, what is read of a damaged or
// hand-edited value, and edits at the grid's edges. Expected arrangements are written out as
// "4x3 | Engine: rpm dial 0,0 2x2; ..." by hand from the cases.
#include "tiles/TileStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace ignivex::tiles;

namespace {
QString describe(const TileLayout& l) {
    QStringList pages;
    for (const Page& p : l.pages()) {
        QStringList tiles;
        for (const Tile& t : p.tiles) {
            QString s = QStringLiteral("%1 %2 %3,%4 %5x%6")
                            .arg(t.channel, kindKey(t.kind))
                            .arg(t.column)
                            .arg(t.row)
                            .arg(t.columnSpan)
                            .arg(t.rowSpan);
            if (t.low)
                s += QStringLiteral(" [%1,%2]").arg(*t.low).arg(*t.high);
            tiles << s;
        }
        pages << p.name + QStringLiteral(": ") + tiles.join(QStringLiteral("; "));
    }
    return QStringLiteral("%1x%2 | ").arg(l.columns()).arg(l.rows()) + pages.join(QStringLiteral(" | "));
}

QString tile(const char* channel, const char* kind, int c, int r, int cs = 1, int rs = 1,
             const char* extra = "") {
    return QStringLiteral(R"({"channel":"%1","kind":"%2","column":%3,"row":%4,"columns":%5,"rows":%6%7})")
        .arg(QLatin1String(channel), QLatin1String(kind))
        .arg(c).arg(r).arg(cs).arg(rs)
        .arg(QLatin1String(extra));
}

QString onePage(const QStringList& tiles, const QString& grid = {}) {
    return QStringLiteral(R"({%1"pages":[{"name":"P","tiles":[%2]}]})").arg(grid, tiles.join(','));
}

// Two tiles on a 4 x 3 grid: rpm over the four cells at the top left, battery in the corner.
TileLayout small() {
    TileLayout l;
    l.renamePage(0, QStringLiteral("P"));
    l.add(0, {QStringLiteral("rpm"), Kind::Dial, 0, 0, 2, 2, {}, {}});
    l.add(0, {QStringLiteral("battery_v"), Kind::Number, 3, 2, 1, 1, {}, {}});
    return l;
}
}  // namespace

class TestTileLayout : public QObject {
    Q_OBJECT
private slots:
    void keptAndReadBack();
    void damagedSetting_data();
    void damagedSetting();
    void edits_data();
    void edits();
    void pagesAtTheirBounds();
};

void TestTileLayout::keptAndReadBack() {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.conf"), QSettings::IniFormat);
    QCOMPARE(describe(loadLayout(settings).layout), describe(TileLayout::defaults()));
    TileLayout l = small();
    QVERIFY(l.addPage(QStringLiteral("Formulas, \"quoted\"")));
    QVERIFY(l.add(1, {QStringLiteral("boost_psi"), Kind::Bar, 1, 1, 3, 1, -5.5, 25}));
    saveLayout(settings, l);
    QSettings again(dir.filePath("s.conf"), QSettings::IniFormat);
    const LayoutRead read = loadLayout(again);
    QCOMPARE(read.problems, QStringList());
    QCOMPARE(describe(read.layout),
             "4x3 | P: rpm dial 0,0 2x2; battery_v number 3,2 1x1 | Formulas, \"quoted\": "
             "boost_psi bar 1,1 3x1 [-5.5,25]");
}

void TestTileLayout::damagedSetting_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");  // "defaults", or the arrangement
    QTest::addColumn<int>("problems");
    QTest::newRow("not JSON") << R"({"pages":[)" << "defaults" << 1;
    QTest::newRow("an array") << "[1,2]" << "defaults" << 1;
    QTest::newRow("no pages") << R"({"columns":4})" << "defaults" << 1;
    QTest::newRow("pages not an array") << R"({"pages":"many"})" << "defaults" << 1;
    QTest::newRow("a page empty") << R"({"pages":[{"name":"Empty"}]})" << "4x3 | Empty: " << 0;
    QTest::newRow("a page without a name") << R"({"pages":[{"tiles":[]}]})" << "4x3 | Page 1: " << 0;
    QTest::newRow("a page not an object") << R"({"pages":[7,{"name":"B"}]})" << "4x3 | B: " << 1;
    QTest::newRow("the last column") << onePage({tile("rpm", "dial", 3, 0)}) << "4x3 | P: rpm dial 3,0 1x1" << 0;
    QTest::newRow("one column past it") << onePage({tile("rpm", "dial", 4, 0)}) << "4x3 | P: " << 1;
    QTest::newRow("a span past the edge") << onePage({tile("rpm", "bar", 3, 0, 2, 1)}) << "4x3 | P: " << 1;
    QTest::newRow("a span to the edge") << onePage({tile("rpm", "bar", 2, 1, 2, 2)}) << "4x3 | P: rpm bar 2,1 2x2" << 0;
    QTest::newRow("a negative row") << onePage({tile("rpm", "dial", 0, -1)}) << "4x3 | P: " << 1;
    QTest::newRow("half a cell") << onePage({R"({"channel":"rpm","kind":"lamp","column":1.5,"row":0})"}) << "4x3 | P: " << 1;
    QTest::newRow("spans left out") << onePage({R"({"channel":"gpi1","kind":"lamp","column":1,"row":2})"}) << "4x3 | P: gpi1 lamp 1,2 1x1" << 0;
    QTest::newRow("a cell as text") << onePage({R"({"channel":"rpm","kind":"dial","column":"1","row":0})"}) << "4x3 | P: " << 1;
    QTest::newRow("an unknown kind") << onePage({tile("rpm", "gauge", 0, 0)}) << "4x3 | P: " << 1;
    QTest::newRow("no channel") << onePage({tile("", "dial", 0, 0)}) << "4x3 | P: " << 1;
    QTest::newRow("a tile not an object") << onePage({"3", tile("map", "bar", 0, 0)}) << "4x3 | P: map bar 0,0 1x1" << 1;
    QTest::newRow("overlapping: the first stays")
        << onePage({tile("rpm", "dial", 0, 0, 2, 2), tile("map", "bar", 1, 1)}) << "4x3 | P: rpm dial 0,0 2x2" << 1;
    QTest::newRow("touching is not overlapping")
        << onePage({tile("rpm", "dial", 0, 0, 2, 2), tile("map", "bar", 2, 1)}) << "4x3 | P: rpm dial 0,0 2x2; map bar 2,1 1x1" << 0;
    QTest::newRow("a scale upside down is forgotten")
        << onePage({tile("rpm", "dial", 0, 0, 1, 1, R"(,"low":9,"high":1)")}) << "4x3 | P: rpm dial 0,0 1x1" << 0;
    QTest::newRow("half a scale is forgotten")
        << onePage({tile("rpm", "dial", 0, 0, 1, 1, R"(,"low":9)")}) << "4x3 | P: rpm dial 0,0 1x1" << 0;
    QTest::newRow("a grid of its own") << onePage({tile("rpm", "dial", 5, 1)}, R"("columns":6,"rows":2,)") << "6x2 | P: rpm dial 5,1 1x1" << 0;
    QTest::newRow("no columns: four, its tile kept where it fits")
        << onePage({tile("rpm", "dial", 3, 0), tile("map", "bar", 5, 0)}, R"("columns":0,)") << "4x3 | P: rpm dial 3,0 1x1" << 2;
    QTest::newRow("nine columns are too many") << onePage({}, R"("columns":9,)") << "4x3 | P: " << 1;
    QString ten;
    for (int i = 0; i < 10; ++i)
        ten += QStringLiteral(R"(%1{"name":"%2"})").arg(i ? "," : "").arg(i + 1);
    QTest::newRow("ten pages: nine kept")
        << QStringLiteral(R"({"pages":[%1]})").arg(ten) << "4x3 | 1:  | 2:  | 3:  | 4:  | 5:  | 6:  | 7:  | 8:  | 9: " << 1;
}

void TestTileLayout::damagedSetting() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QFETCH(int, problems);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.conf"), QSettings::IniFormat);
    settings.setValue("Dashboard/Tiles", value);
    const LayoutRead read = loadLayout(settings);
    QCOMPARE(describe(read.layout), expected == "defaults" ? describe(TileLayout::defaults()) : expected);
    QVERIFY2(read.problems.size() == problems, qPrintable(read.problems.join('\n')));
}

void TestTileLayout::edits_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QString>("expected");  // the page after it; unchanged when refused
    const QString before = "4x3 | P: rpm dial 0,0 2x2; battery_v number 3,2 1x1";
    QTest::newRow("move to the right edge") << "move 0 2 0" << true << "4x3 | P: rpm dial 2,0 2x2; battery_v number 3,2 1x1";
    QTest::newRow("move a cell past it") << "move 0 3 0" << false << before;
    QTest::newRow("move onto the other") << "move 0 2 1" << false << before;
    QTest::newRow("move above the top") << "move 0 0 -1" << false << before;
    QTest::newRow("move into the cell it leaves") << "move 0 0 1" << true << "4x3 | P: rpm dial 0,1 2x2; battery_v number 3,2 1x1";
    QTest::newRow("as wide as the grid") << "resize 0 4 1" << true << "4x3 | P: rpm dial 0,0 4x1; battery_v number 3,2 1x1";
    QTest::newRow("wider than the grid") << "resize 0 5 1" << false << before;
    QTest::newRow("as tall as the grid") << "resize 0 2 3" << true << "4x3 | P: rpm dial 0,0 2x3; battery_v number 3,2 1x1";
    QTest::newRow("the whole grid, over the other") << "resize 0 4 3" << false << before;
    QTest::newRow("no cells") << "resize 0 0 1" << false << before;
    QTest::newRow("resize a tile that is not there") << "resize 2 1 1" << false << before;
    QTest::newRow("add beside") << "add 2 2" << true << before + "; map number 2,2 1x1";
    QTest::newRow("add over the first") << "add 1 1" << false << before;
    QTest::newRow("add wherever: the first free cell") << "wherever" << true << "4x3 | P: rpm dial 0,0 2x2; battery_v number 3,2 1x1; map number 2,0 1x1";
    QTest::newRow("remove the last") << "remove 1" << true << "4x3 | P: rpm dial 0,0 2x2";
    QTest::newRow("remove one past it") << "remove 2" << false << before;
    QTest::newRow("remove before the first") << "remove -1" << false << before;
    QTest::newRow("another channel forgets the scale") << "channel 0 map" << true << "4x3 | P: map dial 0,0 2x2; battery_v number 3,2 1x1";
    QTest::newRow("no channel") << "channel 0 " << false
                                << "4x3 | P: rpm dial 0,0 2x2 [0,9000]; battery_v number 3,2 1x1";
    QTest::newRow("another kind") << "kind 1 lamp" << true << "4x3 | P: rpm dial 0,0 2x2; battery_v lamp 3,2 1x1";
}

void TestTileLayout::edits() {
    QFETCH(QString, edit);
    QFETCH(bool, done);
    QFETCH(QString, expected);
    TileLayout l = small();
    if (edit.startsWith("channel"))  // the scale is set here to see it forgotten
        l = [] { TileLayout s; s.renamePage(0, "P");
                 s.add(0, {"rpm", Kind::Dial, 0, 0, 2, 2, 0, 9000});
                 s.add(0, {"battery_v", Kind::Number, 3, 2, 1, 1, {}, {}}); return s; }();
    const QStringList w = edit.split(' ');
    auto n = [&](int i) { return w[i].toInt(); };
    bool ok = false;
    if (w[0] == "move")
        ok = l.move(0, n(1), n(2), n(3));
    else if (w[0] == "resize")
        ok = l.resize(0, n(1), n(2), n(3));
    else if (w[0] == "add")
        ok = l.add(0, {"map", Kind::Number, n(1), n(2), 1, 1, {}, {}});
    else if (w[0] == "wherever")
        ok = l.addWherever(0, "map", Kind::Number);
    else if (w[0] == "remove")
        ok = l.remove(0, n(1));
    else if (w[0] == "channel")
        ok = l.setChannel(0, n(1), w[2]);
    else if (w[0] == "kind")
        ok = l.setKind(0, n(1), *kindFrom(w[2]));
    QCOMPARE(ok, done);
    QCOMPARE(describe(l), expected);
}

void TestTileLayout::pagesAtTheirBounds() {
    TileLayout l = small();
    QVERIFY(!l.removePage(0));  // the only one
    for (int i = 2; i <= TileLayout::kMaxPages; ++i)
        QVERIFY(l.addPage(QString::number(i)));
    QVERIFY(!l.addPage("10"));
    QCOMPARE(l.pageCount(), 9);
    QVERIFY(!l.addWherever(9, "rpm", Kind::Dial));  // no tenth page to add to
    QVERIFY(l.removePage(0));
    QCOMPARE(l.page(0).name, "2");
    QVERIFY(!l.removePage(8));
    // A full page takes no more.
    for (int i = 0; i < 12; ++i)
        QVERIFY(l.addWherever(0, "rpm", Kind::Number));
    QVERIFY(!l.addWherever(0, "rpm", Kind::Number));
}

QTEST_MAIN(TestTileLayout)
#include "tst_tile_layout.moc"
