// The map table, the XY plot and the histogram of a recording, for the fixture
// tests/fixtures/analysis/pull.csv (eight rows half a second apart; the row at 2.5 s is an Esc
// row, left out of every figure, and gpi3_v is empty at 3.0 s). The expected cells, lines and
// pixels were worked out by hand from the fixture's rows; the review's hook is driven through
// the real main window.
#include "app/ChartWindows.h"
#include "review/HistogramChart.h"
#include "review/HistogramWindow.h"
#include "review/MapTableWindow.h"
#include "review/ReviewTools.h"
#include "review/ReviewWindow.h"
#include "review/SpanChoice.h"
#include "review/XyPlotWindow.h"
#include "record/RecordingReader.h"
#include "review/StatisticsPanel.h"
#include "workbook/Workbook.h"

#include <QComboBox>
#include <private/qzipreader_p.h>
#include "series/ReviewState.h"
#include "support/MainHarness.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QDockWidget>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::chart;
using namespace ignivex::test;

namespace {

const QString kPull = QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv");
const QString kEdges = QStringLiteral(IGNIVEX_FIXTURES "/analysis/edges.csv");

LoadedRecording loaded(const QString& path) {
    record::ReadResult read = record::readRecording(path);
    return {
        path, read.recording->details, {}, makeChartData(std::move(read.recording->table), false)};
}

LoadedRecording pull() {
    return loaded(kPull);
}

// A review's state showing the recording, as the tool windows follow it.
std::shared_ptr<const LoadedRecording> shown(LoadedRecording recording) {
    return std::make_shared<const LoadedRecording>(std::move(recording));
}

void setEdges(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    emit edit->editingFinished();
}

// pull.csv with a channel by formula: adv_net, at one decimal. Its values by row, worked out from
// advance and map: 0, -0.5, 0, 2.5, 5, (the Esc row), 0.5, 4.5.
void addAdvNet(ReviewState& state) {
    QVERIFY(!state.setFormulas({{"adv_net", "advance - 0.5 * map", "\u00b0", 1}}));
}

record::ChannelId channelNamed(const ReviewState& state, const QString& column) {
    return *state.recording()->chart->table.channelNamed(column);
}

}  // namespace

class TestReviewTools : public QObject {
    Q_OBJECT
private slots:
    void mapTable_data();
    void mapTable();
    void mapTableAxes_data();
    void mapTableAxes();
    void edgesRefusedKeepTheTable();
    void histogramOfAFormula_data();
    void histogramOfAFormula();
    void xyBinning_data();
    void xyBinning();
    void reviewHook();
    void channelAddedAtRunTime();
    void picturesOfARecording();
};

void TestReviewTools::mapTable_data() {
    QTest::addColumn<QString>("of");
    QTest::addColumn<int>("span");  // SpanChoice::Kind
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("rpmEdges");
    QTest::addColumn<QString>("mapEdges");
    QTest::addColumn<QStringList>("lines");  // the exported CSV after its header
    QTest::addColumn<QPoint>("cell");        // a cell of the table (column: MAP, row: rpm)
    QTest::addColumn<QString>("text");       // and its text: empty for a cell without samples
    const QString rpm = "0,1000,2000,3000,5000", map = "0,30,60";
    // Each row stands for the half second to the next, the last row for nothing.
    QTest::newRow("advance, whole recording")
        << "advance" << int(SpanChoice::Whole) << 0.0 << 0.0 << rpm << map
        << QStringList{"0,1000,0,30,1,10.00000,0.500", "1000,2000,0,30,1,12.00000,0.500",
                       "2000,3000,30,60,2,21.00000,0.500", "3000,5000,30,60,3,27.66667,1.500"}
        << QPoint(1, 3) << QString("27.67\n3 \u00b7 1.5 s");
    QTest::newRow("a cell without samples is blank")
        << "advance" << int(SpanChoice::Whole) << 0.0 << 0.0 << rpm << map
        << QStringList{"0,1000,0,30,1,10.00000,0.500", "1000,2000,0,30,1,12.00000,0.500",
                       "2000,3000,30,60,2,21.00000,0.500", "3000,5000,30,60,3,27.66667,1.500"}
        << QPoint(1, 0) << QString();
    QTest::newRow("from 1.0 to 2.0, both ends in")
        << "advance" << int(SpanChoice::Between) << 1.0 << 2.0 << rpm << map
        << QStringList{"2000,3000,30,60,1,20.00000,0.500", "3000,5000,30,60,2,27.50000,1.000"}
        << QPoint(1, 3) << QString("27.50\n2 \u00b7 1.0 s");
    QTest::newRow("the view") << "advance" << int(SpanChoice::View) << 0.0 << 1.2 << rpm << map
                              << QStringList{"0,1000,0,30,1,10.00000,0.500",
                                             "1000,2000,0,30,1,12.00000,0.500",
                                             "2000,3000,30,60,1,20.00000,0.500"}
                              << QPoint(1, 2) << QString("20.00\n1 \u00b7 0.50 s");
    QTest::newRow("battery over the default edges")
        << "battery_v" << int(SpanChoice::Whole) << 0.0 << 0.0 << ""
        << "" << QStringList{"500,1000,20,30,1,13.00000,0.500",  "1000,1500,20,30,1,13.20000,0.500",
                             "2000,2500,40,50,1,13.40000,0.500", "2500,3000,30,40,1,14.00000,0.000",
                             "3000,3500,40,50,1,13.60000,0.500", "4000,4500,50,60,1,13.80000,0.500",
                             "4500,5000,50,60,1,13.00000,0.500"}
        << QPoint(3, 5) << QString("14.000\n1 \u00b7 0.00 s");
    QTest::newRow("an input: the share of samples at 1")
        << "gpi1" << int(SpanChoice::Whole) << 0.0 << 0.0 << "0,2000,5000"
        << "0,60" << QStringList{"0,2000,0,60,2,0.500,1.000", "2000,5000,0,60,5,0.600,2.000"}
        << QPoint(0, 1) << QString("0.60\n5 \u00b7 2.0 s");
    QTest::newRow("from later than to") << "advance" << int(SpanChoice::Between) << 2.0 << 1.0
                                        << rpm << map << QStringList{} << QPoint(1, 3) << QString();
}

void TestReviewTools::mapTable() {
    QFETCH(QString, of);
    QFETCH(int, span);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QString, rpmEdges);
    QFETCH(QString, mapEdges);
    QFETCH(QStringList, lines);
    QFETCH(QPoint, cell);
    QFETCH(QString, text);
    ScriptedBoxes boxes;
    MapTableWindow w(boxes);
    w.show();
    ReviewState state;
    state.setRecording(shown(pull()));
    w.follow(state);
    w.setChannel(*record::Table().channelNamed(of));
    if (!rpmEdges.isEmpty())
        setEdges(w.findChild<QLineEdit*>("txtRpmEdges"), rpmEdges);
    if (!mapEdges.isEmpty())
        setEdges(w.findChild<QLineEdit*>("txtMapEdges"), mapEdges);
    if (span == SpanChoice::View) {
        state.setView(from, to);
        w.spanChoice()->setKind(SpanChoice::View);
    } else if (span == SpanChoice::Between) {
        w.spanChoice()->setBetween(from, to);
    }
    QTRY_VERIFY(!w.busy());

    QTemporaryDir dir;
    const QString path = dir.filePath("table.csv");
    QCOMPARE(w.saveCsv(path), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()).split('\n'),
             QStringList{"rpm_from,rpm_to,map_from,map_to,samples,mean,seconds"} + lines +
                 QStringList{""});
    int filled = 0;
    for (int r = 0; r < w.cells()->rowCount(); ++r) {
        for (int c = 0; c < w.cells()->columnCount(); ++c)
            filled += w.cells()->item(r, c) != nullptr;
    }
    QCOMPARE(filled, lines.size());
    const QTableWidgetItem* item = w.cells()->item(cell.y(), cell.x());
    QCOMPARE(item ? item->text() : QString(), text);
    w.cells()->setCurrentCell(cell.y(), cell.x());
    QCOMPARE(w.selectedMeans().split('\n').value(1).split('\t').value(1), text.section('\n', 0, 0));
    QVERIFY(!w.saveCsv(dir.filePath("no such folder/table.csv")).isEmpty());
}

void TestReviewTools::mapTableAxes_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("rowEdges");  // empty: the channel's defaults
    QTest::addColumn<bool>("swap");         // rpm's edges and MAP's swapped after they are set
    QTest::addColumn<int>("minSamples");
    QTest::addColumn<int>("extra");  // MapTableWindow::Extra
    QTest::addColumn<QString>("rowText");
    QTest::addColumn<QStringList>("lines");  // the CSV, its header first
    QTest::addColumn<QPoint>("cell");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tableLine");  // Copy Table's line of the cell's row
    const QString rpm = "0,1000,2000,3000,5000";
    const QStringList swapped{"map_from,map_to,rpm_from,rpm_to,samples,mean,seconds",
                              "0,30,0,1000,1,10.00000,0.500", "0,30,1000,2000,1,12.00000,0.500",
                              "30,60,2000,3000,2,21.00000,0.500",
                              "30,60,3000,5000,3,27.66667,1.500"};
    const QString row1 = "30\u201360\t\t\t21.00\t27.67";
    QTest::newRow("swapped") << "rpm" << rpm << true << 1 << 0 << "0,30,60" << swapped
                             << QPoint(3, 1) << "27.67\n3 \u00b7 1.5 s" << row1;
    QTest::newRow("swapped, two samples or more")
        << "rpm" << rpm << true << 2 << 0 << "0,30,60"
        << QStringList{swapped[0], swapped[3], swapped[4]} << QPoint(0, 0) << ""
        << "0\u201330\t\t\t\t";
    // The cell of 3000 to 5000 rpm: advance 25, 30 and 28.
    QTest::newRow("the least") << "rpm" << rpm << true << 1 << 1 << "0,30,60" << swapped
                               << QPoint(3, 1) << "27.67\nmin 25.0\n3 \u00b7 1.5 s" << row1;
    QTest::newRow("the deviation") << "rpm" << rpm << true << 1 << 3 << "0,30,60" << swapped
                                   << QPoint(3, 1) << "27.67\nsd 2.05\n3 \u00b7 1.5 s" << row1;
    // adv_net from -0.5 to 5: steps of 1 from -1, the greatest inside the last.
    QTest::newRow("rows by formula, edges from their range")
        << "adv_net" << "" << false << 1 << 0 << "-1,0,1,2,3,4,5,6"
        << QStringList{"adv_net_from,adv_net_to,map_from,map_to,samples,mean,seconds",
                       "-1,0,0,30,1,12.00000,0.500", "0,1,0,30,1,10.00000,0.500",
                       "0,1,30,60,2,24.00000,1.000", "2,3,30,60,1,25.00000,0.500",
                       "4,5,30,60,1,22.00000,0.000", "5,6,30,60,1,30.00000,0.500"}
        << QPoint(1, 1) << "24.00\n2 \u00b7 1.0 s" << "0\u20131\t10.00\t24.00";
}

void TestReviewTools::mapTableAxes() {
    QFETCH(QString, rows);
    QFETCH(QString, rowEdges);
    QFETCH(bool, swap);
    QFETCH(int, minSamples);
    QFETCH(int, extra);
    QFETCH(QString, rowText);
    QFETCH(QStringList, lines);
    QFETCH(QPoint, cell);
    QFETCH(QString, text);
    QFETCH(QString, tableLine);
    ScriptedBoxes boxes;
    MapTableWindow w(boxes);
    ReviewState state;
    state.setRecording(shown(pull()));
    w.follow(state);
    addAdvNet(state);
    w.setAxes(channelNamed(state, rows), channelNamed(state, "map"));
    if (!rowEdges.isEmpty())
        setEdges(w.findChild<QLineEdit*>("txtRpmEdges"), rowEdges);
    setEdges(w.findChild<QLineEdit*>("txtMapEdges"), "0,30,60");
    if (swap)
        w.swapAxes();
    w.setMinSamples(minSamples);
    w.setExtra(MapTableWindow::Extra(extra));
    QTRY_VERIFY(!w.busy());
    QCOMPARE(w.findChild<QLineEdit*>("txtRpmEdges")->text(), rowText);
    QCOMPARE(QString::fromUtf8(w.csv()).split('\n'), lines + QStringList{""});
    const QTableWidgetItem* item = w.cells()->item(cell.y(), cell.x());
    QCOMPARE(item ? item->text() : QString(), text);
    QCOMPARE(w.tableText().split('\n').value(cell.y() + 1), tableLine);
}

void TestReviewTools::edgesRefusedKeepTheTable() {
    ScriptedBoxes boxes;
    MapTableWindow w(boxes);
    auto* mapText = w.findChild<QLineEdit*>("txtMapEdges");
    ReviewState state;
    w.follow(state);
    state.setRecording(shown(loaded(kEdges)));  // map range 1; pull.csv's is 3
    QCOMPARE(mapText->text(), QString("0,5,10,15,20,25,30"));
    state.setRecording(shown(pull()));
    QCOMPARE(mapText->text(), QString("0,10,20,30,40,50,60,70,80,90"));
    QTRY_VERIFY(!w.busy());
    const QByteArray before = w.csv();
    setEdges(w.findChild<QLineEdit*>("txtMapEdges"), "0,50,50");
    QVERIFY2(w.problem().startsWith("MAP edges: each edge must be greater than the one before it."),
             qPrintable(w.problem()));
    QTRY_VERIFY(!w.busy());
    QCOMPARE(w.csv(), before);
    setEdges(w.findChild<QLineEdit*>("txtMapEdges"), "0,50,100");
    QCOMPARE(w.problem(), QString());
    QTRY_VERIFY(!w.busy());
    QVERIFY(w.csv().contains(",0,50,"));
    state.setRecording(shown(loaded(kEdges)));  // edges of the user's own stay
    QCOMPARE(mapText->text(), QString("0,50,100"));
    QStringList edges;
    for (int i = 0; i < 10000; ++i)
        edges << QString::number(i);
    setEdges(mapText, edges.mid(0, 300).join(','));
    QVERIFY(w.problem().startsWith("MAP edges: 300 edges given, at most 201"));
    setEdges(mapText, edges.join(','));  // 48,889 characters, of which the field keeps 4001
    QVERIFY(w.problem().startsWith("MAP edges: the text is longer than 4000 characters"));
}

void TestReviewTools::histogramOfAFormula_data() {
    QTest::addColumn<QString>("edges");  // empty: the default 20 bins
    QTest::addColumn<double>("from");    // NaN: the whole recording
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("bins");
    QTest::addColumn<QStringList>("lines");  // of the bins with samples
    QTest::addColumn<QString>("figures");
    const double whole = std::nan("");
    // Sorted: -0.5, 0, 0, 0.5, 2.5, 4.5, 5; each row half a second but the last, 3 s in all.
    // From -0.5 to 5 in steps of 0.275; 5, the greatest, in the last bin.
    QTest::newRow("default bins")
        << "" << whole << whole << "" << 20
        << QStringList{"-0.5,-0.225,1,0.500,0.16667", "-0.225,0.05,2,1.000,0.33333",
                       "0.325,0.6,1,0.500,0.16667", "2.25,2.525,1,0.500,0.16667",
                       "4.45,4.725,1,0.000,0.00000", "4.725,5,1,0.500,0.16667"}
        << "7 values over 3.0 s: mean 1.71 \u00b0, median 0.50 \u00b0, standard deviation "
           "2.12 \u00b0, 5th percentile -0.35 \u00b0, 95th percentile 4.85 \u00b0";
    QTest::newRow("edges given, a span")
        << "-1, 0, 2, 6" << 1.0 << 2.0 << "" << 3
        << QStringList{"0,2,1,0.500,0.33333", "2,6,2,1.000,0.66667"}
        << "3 values over 1.5 s: mean 2.50 \u00b0, median 2.50 \u00b0, standard deviation "
           "2.04 \u00b0, 5th percentile 0.25 \u00b0, 95th percentile 4.75 \u00b0";
    // Rows at 3000, 4000 and 4500 rpm: 2.5, 5 and 0.5.
    QTest::newRow("through a filter")
        << "-1,0,2,6" << whole << whole << "rpm >= 3000" << 3
        << QStringList{"0,2,1,0.500,0.33333", "2,6,2,1.000,0.66667"}
        << "3 values over 1.5 s: mean 2.67 \u00b0, median 2.50 \u00b0, standard deviation "
           "1.84 \u00b0, 5th percentile 0.70 \u00b0, 95th percentile 4.75 \u00b0";
}

void TestReviewTools::histogramOfAFormula() {
    QFETCH(QString, edges);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QString, filter);
    QFETCH(int, bins);
    QFETCH(QStringList, lines);
    QFETCH(QString, figures);
    ScriptedBoxes boxes;
    HistogramWindow w(boxes);
    ReviewState state;
    state.setRecording(shown(pull()));
    w.follow(state);
    addAdvNet(state);  // after the window follows: its channels are filled again
    auto* channel = w.findChild<QComboBox*>("cboChannel");
    QVERIFY(channel->findText("adv_net") >= 0);
    w.setChannel(channelNamed(state, "adv_net"));
    setEdges(w.findChild<QLineEdit*>("txtEdges"), edges);
    if (!std::isnan(from))
        w.spanChoice()->setBetween(from, to);
    if (!filter.isEmpty())
        QVERIFY(!state.setFilters({{"fast", filter, 0}}, 0));
    QTRY_VERIFY(!w.busy());
    QStringList csv = QString::fromUtf8(w.csv()).split('\n');
    QCOMPARE(csv.takeFirst(), QString("from,to,samples,seconds,share"));
    QCOMPARE(csv.takeLast(), QString());
    QCOMPARE(csv.size(), bins);
    QCOMPARE(w.bins()->rowCount(), bins);
    csv.removeIf([](const QString& line) { return line.section(',', 2, 2) == "0"; });
    QCOMPARE(csv, lines);
    QCOMPARE(w.figures(), figures);
    QTemporaryDir dir;
    QCOMPARE(w.saveCsv(dir.filePath("h.csv")), QString());
    QFile saved(dir.filePath("h.csv"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), w.csv());
    QVERIFY(!w.saveCsv(dir.filePath("no such folder/h.csv")).isEmpty());
    w.show();
    QCOMPARE(w.savePicture(dir.filePath("h.png")), QString());
    QCOMPARE(QImage(dir.filePath("h.png")).size(),
             w.chart()->size() * w.chart()->devicePixelRatioF());
    QVERIFY(!w.savePicture(dir.filePath("no such folder/h.png")).isEmpty());
    setEdges(w.findChild<QLineEdit*>("txtEdges"), "2,1");
    QVERIFY(w.problem().startsWith("Edges: each edge must be greater than the one before it."));
}

void TestReviewTools::xyBinning_data() {
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<QString>("colour");  // empty: none
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QRect>("cells");    // the grid's size
    QTest::addColumn<QRectF>("ranges");  // x from left to right, y from top to bottom
    QTest::addColumn<QPoint>("cell");    // column from the left, row from the top
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("colourMean");  // NaN: none
    QTest::addColumn<double>("time");        // of the cell's last row
    QTest::addColumn<int>("points");
    const double none = std::nan("");
    const double all = 1e9;
    // 1000 rpm by 10 degrees a cell: (4000, 30) and (4500, 28) share one.
    const QRect grid(0, 0, 5, 4);
    const QRectF ranges(0, 0, 5000, 40);
    QTest::newRow("two points in one pixel")
        << "rpm"
        << "advance"
        << "map" << -all << all << grid << ranges << QPoint(4, 1) << 2 << 52.5 << 3.0 << 7;
    QTest::newRow("a point alone")
        << "rpm"
        << "advance"
        << "map" << -all << all << grid << ranges << QPoint(0, 3) << 1 << 20.0 << 0.0 << 7;
    QTest::newRow("a row without the colour")
        << "rpm"
        << "advance"
        << "gpi3_v" << -all << all << grid << ranges << QPoint(4, 1) << 2 << 3.0 << 3.0 << 7;
    QTest::newRow("shaded by count")
        << "rpm"
        << "advance"
        << "" << -all << all << grid << ranges << QPoint(4, 1) << 2 << none << 3.0 << 7;
    QTest::newRow("a span") << "rpm"
                            << "advance"
                            << "map" << 0.5 << 2.0 << grid << ranges << QPoint(4, 1) << 1 << 50.0
                            << 2.0 << 4;
    QTest::newRow("the range's top end is in the last pixel")
        << "map"
        << "rpm"
        << "" << -all << all << QRect(0, 0, 55, 1) << QRectF(0, 0, 55, 5000) << QPoint(54, 0) << 1
        << none << 3.0 << 7;
    QTest::newRow("outside the ranges: not counted")
        << "rpm"
        << "advance"
        << "map" << -all << all << QRect(0, 0, 2, 1) << QRectF(1000, 0, 2000, 40) << QPoint(1, 0)
        << 3 << 40.0 << 3.5 << 4;
}

void TestReviewTools::xyBinning() {
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(QString, colour);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QRect, cells);
    QFETCH(QRectF, ranges);
    QFETCH(QPoint, cell);
    QFETCH(int, count);
    QFETCH(double, colourMean);
    QFETCH(double, time);
    QFETCH(int, points);
    XyRequest r;
    r.x = *record::Table().channelNamed(x);
    r.y = *record::Table().channelNamed(y);
    if (!colour.isEmpty())
        r.colour = record::Table().channelNamed(colour);
    r.span = {from, to, nullptr};
    r.width = cells.width();
    r.height = cells.height();
    r.xRange = {ranges.left(), ranges.right()};
    r.yRange = {ranges.top(), ranges.bottom()};
    const LoadedRecording rec = pull();
    const XyGrid g = binXy(rec.chart->table, r);
    const std::size_t at = g.at(cell.x(), cell.y());
    QCOMPARE(int(g.counts[at]), count);
    QCOMPARE(rec.chart->table.elapsed[std::size_t(g.rows[at])], time);
    const auto mean = g.colourMean(at);
    QCOMPARE(mean.has_value(), !std::isnan(colourMean));
    if (mean)
        QVERIFY2(std::abs(*mean - colourMean) < 1e-4, qPrintable(QString::number(*mean)));
    QCOMPARE(int(g.points), points);
}

void TestReviewTools::reviewHook() {
    IsolatedConfig config;
    MainHarness h;
    h.show();
    h.w().charts().openRecording(kPull);
    ReviewWindow& review = *h.w().charts().reviewWindow();
    QTRY_VERIFY(review.recording() != nullptr);
    auto* tools = review.findChild<ReviewTools*>();
    QVERIFY(tools);

    // The map table follows the review's view.
    tools->openMapTable();
    MapTableWindow& table = *tools->mapTableWindow();
    setEdges(table.findChild<QLineEdit*>("txtRpmEdges"), "0,1000,2000,3000,5000");
    setEdges(table.findChild<QLineEdit*>("txtMapEdges"), "0,30,60");
    table.spanChoice()->setKind(SpanChoice::View);
    review.setView(1.0, 2.0);
    QTRY_VERIFY(!table.busy() && table.csv().endsWith("3000,5000,30,60,2,27.50000,1.000\n"));
    // And the span between cursors B and A, in either order.
    table.spanChoice()->setKind(SpanChoice::Cursors);
    review.setCursorB(2.0);
    review.setCursor(0.5);
    QTRY_VERIFY(!table.busy() &&
                table.csv().startsWith("rpm_from,rpm_to,map_from,map_to,samples,mean,seconds\n"
                                       "1000,2000,0,30,1,12.00000,0.500\n"));

    // A click on a point moves the review's cursor to its row; pointing names it.
    tools->openXyPlot();
    XyPlotWindow& xy = *tools->xyPlotWindow();
    xy.setChannels(record::channelOf(Value::Rpm), record::channelOf(Value::Advance), std::nullopt);
    QTRY_VERIFY(!xy.plot()->busy());
    const QPoint at = xy.plot()->pointOf(4500, 28).toPoint();
    QMouseEvent move(QEvent::MouseMove, at, xy.plot()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     {});
    QCoreApplication::sendEvent(xy.plot(), &move);
    QTRY_VERIFY(xy.statusBar()->currentMessage().startsWith(
        "0:03.000 (row 7): RPM 4500 rpm, Advance 28.0 \u00b0"));
    QTest::mouseClick(xy.plot(), Qt::LeftButton, {}, at);
    QCOMPARE(review.cursor(), 3.0);
    QTRY_COMPARE(xy.plot()->markedRow(), std::optional<std::size_t>(6));

    // The overlay's points beside them, when asked for: marked.csv's two whole rows with rpm
    // and advance, moved 0.012 s earlier by the alignment at the starts. Pointing names its
    // file; a click puts the review's cursor where its row stands.
    auto* showOverlay = xy.findChild<QCheckBox*>("chkOverlay");
    QVERIFY(!showOverlay->isEnabled());
    review.openOverlay(QStringLiteral(IGNIVEX_FIXTURES "/recordings/marked.csv"));
    QTRY_VERIFY(showOverlay->isEnabled());
    QVERIFY(xy.plot()->choice().overlays.empty());
    showOverlay->setChecked(true);
    QTRY_VERIFY(!xy.plot()->busy() && xy.plot()->choice().overlays.size() == 1);
    QCOMPARE(xy.plot()->picture().overlays.at(0).grid.points, 2);
    QCOMPARE(xy.plot()->picture().grid.points, 7);
    const QPoint other = xy.plot()->pointOf(920, 22.676).toPoint();
    QMouseEvent over(QEvent::MouseMove, other, xy.plot()->mapToGlobal(other), Qt::NoButton,
                     Qt::NoButton, {});
    QCoreApplication::sendEvent(xy.plot(), &over);
    QTRY_VERIFY(xy.statusBar()->currentMessage().startsWith(
        "Overlay 1 marked.csv, 0:00.212 (row 3): RPM 920 rpm, Advance 22.7 \u00b0"));
    QTest::mouseClick(xy.plot(), Qt::LeftButton, {}, other);
    QCOMPARE(review.cursor(), 0.2);

    // Closed with the review, and nothing is asked of a review without a recording.
    review.close();
    QTRY_VERIFY(!xy.isVisible() && !table.isVisible());
    tools->openXyPlot();
    QCOMPARE(h.boxes.count(), 1);
    QVERIFY(!xy.isVisible());
    tools->openHistogram();
    QCOMPARE(h.boxes.count(), 2);
    QVERIFY(!tools->histogramWindow());
}

// The exported picture is the plot as shown. With IGNIVEX_SCREENSHOT_DIR set, both windows are
// saved there, for the recording IGNIVEX_SCREENSHOT_RECORDING (scripts/screenshots records one).
void TestReviewTools::channelAddedAtRunTime() {
    // A channel none of the windows names, added to the recording shown: every choice and
    // figure takes it from the rows, and the view and cursors stay where they were.
    IsolatedConfig config;
    MainHarness h;
    h.show();
    h.w().charts().openRecording(kPull);
    ReviewWindow& review = *h.w().charts().reviewWindow();
    QTRY_VERIFY(review.recording() != nullptr);
    auto* tools = review.findChild<ReviewTools*>();
    tools->openMapTable();
    tools->openXyPlot();
    review.setView(1.0, 2.5);
    review.setCursor(1.5);
    record::ChannelInfo k;
    k.column = QStringLiteral("k");
    k.name = QStringLiteral("Constant");
    k.unit = QStringLiteral("bar");
    k.decimals = 1;
    const std::size_t rows = review.recording()->chart->table.size();
    review.addChannel(k, std::vector<float>(rows, 1.5f));

    QCOMPARE(review.chart()->viewStart(), 1.0);
    QCOMPARE(review.chart()->viewEnd(), 2.5);
    QCOMPARE(review.cursor(), 1.5);
    const auto entries = entriesOf(review.chart()->arrangement());
    QVERIFY(std::any_of(entries.begin(), entries.end(),
                        [](const ChannelEntry& e) { return e.series.info.column == u"k"; }));
    review.refreshStatistics();
    QVERIFY2(review.statistics()->text().contains("Constant (bar)\t1.5\t\t\t1.5\t1.5\t1.50\n"),
             qPrintable(review.statistics()->text()));
    for (QComboBox* box : {tools->xyPlotWindow()->findChild<QComboBox*>("cboX"),
                           tools->xyPlotWindow()->findChild<QComboBox*>("cboColour"),
                           tools->mapTableWindow()->findChild<QComboBox*>("cboOf")})
        QTRY_VERIFY2(box->findText("Constant") >= 0, qPrintable(box->objectName()));

    QTemporaryDir dir;
    const QString path = dir.filePath("k.xlsx");
    QString error;
    const LoadedRecording& r = *review.recording();
    QVERIFY(workbook::write({r.chart->table, r.details, r.path}, {}, path, {}, &error));
    const QString sheet = QString::fromUtf8(QZipReader(path).fileData("xl/worksheets/sheet1.xml"));
    // Its column after the module's values, before the status: the eleventh, K.
    QVERIFY2(sheet.contains(QRegularExpression("<c r=\"K1\"[^>]*><is><t>k</t>")), qPrintable(sheet.left(600)));
    QVERIFY(sheet.contains(QRegularExpression("<c r=\"K2\"[^>]*><v>1.5</v>")));
}

void TestReviewTools::picturesOfARecording() {
    const LoadedRecording rec = loaded(qEnvironmentVariable("IGNIVEX_SCREENSHOT_RECORDING", kPull));
    ScriptedBoxes boxes;
    XyPlotWindow xy(boxes);
    xy.resize(960, 680);
    xy.show();
    ReviewState state;
    state.setRecording(shown(rec));
    xy.follow(state);
    QTRY_VERIFY(!xy.plot()->busy());
    QTemporaryDir dir;
    QCOMPARE(xy.savePicture(dir.filePath("xy.png")), QString());
    const QImage saved(dir.filePath("xy.png"));
    const qreal ratio = xy.plot()->devicePixelRatioF();
    QCOMPARE(saved.size(), xy.plot()->size() * ratio);
    const QPointF first = xy.plot()->pointOf(rec.chart->table.column(Value::Rpm)[0],
                                             rec.chart->table.column(Value::Advance)[0]);
    QVERIFY(saved.pixelColor((first * ratio).toPoint()) != QColor(Qt::white));
    QVERIFY(!xy.savePicture(dir.filePath("no such folder/xy.png")).isEmpty());
    // The colour bar spans MAP's values of the rows plotted, 20 to 55 (the Esc row's 90 left out).
    if (!qEnvironmentVariableIsSet("IGNIVEX_SCREENSHOT_RECORDING")) {
        QCOMPARE(xy.plot()->picture().colourScale->low, 20.0);
        QCOMPARE(xy.plot()->picture().colourScale->high, 55.0);
    }

    MapTableWindow table(boxes);
    table.resize(1180, 700);
    table.show();
    table.follow(state);
    QTRY_VERIFY(!table.busy());
    const QString shots = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QVERIFY(xy.grab().save(shots + "/xy-advance-rpm-map.png"));
        QVERIFY(table.grab().save(shots + "/map-table.png"));
        // A channel by formula, averaged in the map table and counted in the histogram.
        ReviewState withFormula;
        withFormula.setRecording(shown(rec));
        addAdvNet(withFormula);
        MapTableWindow formulaTable(boxes);
        formulaTable.resize(1180, 700);
        formulaTable.show();
        formulaTable.follow(withFormula);
        formulaTable.setChannel(channelNamed(withFormula, "adv_net"));
        formulaTable.setExtra(MapTableWindow::Deviation);
        QTRY_VERIFY(!formulaTable.busy());
        QVERIFY(formulaTable.grab().save(shots + "/map-table-formula.png"));
        HistogramWindow histogram(boxes);
        histogram.resize(1180, 680);
        histogram.show();
        histogram.follow(withFormula);
        histogram.setChannel(channelNamed(withFormula, "adv_net"));
        QTRY_VERIFY(!histogram.busy());
        QCoreApplication::processEvents();  // the status line laid out for its text
        QVERIFY(histogram.grab().save(shots + "/histogram.png"));
        // The drive laid over itself 3 s later, the whole of it; in the XY plot, the view's.
        IsolatedConfig config;
        MainHarness h;
        h.show();
        h.w().charts().openRecording(rec.path);
        ReviewWindow& review = *h.w().charts().reviewWindow();
        QTRY_VERIFY_WITH_TIMEOUT(review.recording() != nullptr, 10000);
        review.openOverlay(rec.path);
        QTRY_VERIFY_WITH_TIMEOUT(review.overlay() != nullptr, 10000);
        review.resize(1200, 720);
        review.setOverlayShift(3.0);
        review.setCursor(rec.chart->start() + 20);
        QVERIFY(review.grab().save(shots + "/review-overlay.png"));
        auto* tools = review.findChild<ReviewTools*>();
        tools->openXyPlot();
        tools->xyPlotWindow()->resize(960, 680);
        tools->xyPlotWindow()->spanChoice()->setKind(SpanChoice::View);
        review.setView(rec.chart->start() + 12, rec.chart->start() + 24);
        tools->xyPlotWindow()->setOverlayShown(true);
        QTRY_VERIFY(tools->xyPlotWindow()->plot()->choice().overlays.size() == 1 &&
                    !tools->xyPlotWindow()->plot()->busy());
        QVERIFY(tools->xyPlotWindow()->grab().save(shots + "/xy-overlay.png"));
        // Four runs compared: the drive over itself 3, 6 and 9 s later, with the legend.
        tools->xyPlotWindow()->close();
        for (double shift : {6.0, 9.0}) {
            const int count = review.state().overlayCount();
            review.openOverlay(rec.path);
            QTRY_VERIFY_WITH_TIMEOUT(review.state().overlayCount() == count + 1, 10000);
            review.setOverlayShift(shift);
        }
        review.zoomAll();
        review.setView(rec.chart->start() + 10, rec.chart->start() + 40);
        review.setCursor(rec.chart->start() + 22);
        review.findChild<QDockWidget*>("dockOverlays")->raise();
        QCoreApplication::processEvents();
        QVERIFY(review.grab().save(shots + "/review-four-runs.png"));
    }
}

QTEST_MAIN(TestReviewTools)
#include "tst_review_tools.moc"
