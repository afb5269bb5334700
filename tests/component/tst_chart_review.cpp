// The review of a recording with the real main window and a scripted module: replay drives the
// panel with the recorded values while polling sends nothing, bad files are said in a box, the
// picture export writes PNG and SVG, and the live chart takes the samples of the ticks.
#include "acquire/Acquisition.h"
#include "acquire/Channels.h"
#include "strips/ChannelsDialog.h"
#include "app/ChartWindows.h"
#include "live/LiveChartWindow.h"
#include "series/LiveSeries.h"
#include "replay/PanelReplay.h"
#include "strips/PictureExport.h"
#include "replay/ReplayIndicator.h"
#include "review/ReviewWindow.h"
#include "review/StatisticsPanel.h"
#include "app/RecordingControl.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "record/RecordFormat.h"
#include "support/MainHarness.h"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QDockWidget>
#include <QLabel>
#include <QPainter>
#include <QListView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

using namespace ignivex;
using namespace ignivex::test;

namespace {
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);

// One recorded tick: its time, values (NaN: not read), input bits (-1: not read) and end.
struct Tick {
    double t;
    float rpm, advance, map, battery, gpi3;
    int bits;
    Sample::End end;
};

QByteArray recording(const QList<Tick>& ticks, int rangeCode) {
    record::Details d;
    d.tool = "Ignivex Log 1.1";
    d.rangeCode = std::int16_t(rangeCode);
    d.started = QDateTime(QDate(2026, 12, 8), QTime(14, 0), QTimeZone(0));
    QByteArray out = record::preamble(d);
    const Instant start(std::chrono::seconds(1));
    auto value = [](float v) { return std::isnan(v) ? std::nullopt : std::optional<float>(v); };
    for (const Tick& k : ticks) {
        Sample s;
        s.monotonic = start + std::chrono::milliseconds(qint64(k.t * 1000));
        s.wallClock = d.started.addMSecs(qint64(k.t * 1000));
        s.rpm = value(k.rpm);
        s.advance = value(k.advance);
        s.map = value(k.map);
        s.battery = value(k.battery);
        s.gpi3Analog = value(k.gpi3);
        if (k.bits >= 0)
            s.gpiBits = std::int16_t(k.bits);
        s.end = k.end;
        out += record::row(s, start);
    }
    return out;
}

const float kNo = std::numeric_limits<float>::quiet_NaN();

// The main window with a healthy module behind the fake port, the view open, the timer
// stopped: the test drives the ticks.
struct Rig : MainHarness {
    IsolatedConfig config;
    QTemporaryDir dir;
    Rig() {
        showWithHealthyModule();
        w().mnuViewRealTime_Click();
    }
    RealTimePanel& panel() { return *w().fraRealTimeData(); }
    chart::ReviewWindow* review() { return w().charts().reviewWindow(); }
    QString file(const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    }
    bool open(const QString& path) {
        w().charts().openRecording(path);
        return QTest::qWaitFor([&] { return !review()->loading(); }, 10000);
    }
    QList<QColor> lamps() {
        return {panel().shpLED_GPI1->fillColor(), panel().shpLED_GPI2->fillColor(),
                panel().shpLED_GPI3->fillColor()};
    }
};
}  // namespace

class TestChartReview : public QObject {
    Q_OBJECT
private slots:
    void replayDrivesThePanelAndPollingWaits();
    void filesThatCannotBeShown_data();
    void filesThatCannotBeShown();
    void picturesOfTheView();
    void liveChartTakesEachSample();
    void replayAndRecordingTakeTurns();
    void liveSeriesIsBounded();
    void densePicturesAreDrawings();
    void valuesBesideTheStrips_data();
    void valuesBesideTheStrips();
    void overlayAlignsAndMoves();
    void overlayIsToldApart_data();
    void overlayIsToldApart();
    void fourRecordingsCompared();
    void manyMarksListedAndThinned();
    void statisticsBetweenTheCursors_data();
    void statisticsBetweenTheCursors();
    void extremeFilesOpenAndDraw_data();
    void extremeFilesOpenAndDraw();
    void detailsCountEachStatus();
    void arrangementText_data();
    void arrangementText();
    void channelsDialogSteps();
    void stripScaleByMouse();
};

void TestChartReview::replayDrivesThePanelAndPollingWaits() {
    Rig rig;
    const QString path =
        rig.file("pull.csv", recording(
                                 {
                                     {0.0, 1000, 10, 17, 13.8f, 1, 0x04, Sample::End::Complete},
                                     {0.5, kNo, kNo, 40, 12, 2, 0x18,
                                      Sample::End::Escape},  // Esc after the battery read
                                     {1.0, kNo, kNo, kNo, kNo, kNo, -1, Sample::End::LinkLost},
                                     {1.5, 6500, 35, 55, 14.2f, 4, 0x1C, Sample::End::Complete},
                                 },
                                 2));
    QVERIFY(rig.open(path));
    chart::ReviewWindow& review = *rig.review();
    QVERIFY(review.recording());
    const int before = int(rig.port.written.size());

    review.play();
    QVERIFY(rig.w().acquisition().paused());
    QVERIFY(rig.w().charts().replay().indicator()->isVisible());
    QCOMPARE(rig.panel().gauMAP->scaleMaximum(), 61.0);  // the recording's range 2

    struct Expect {
        double cursor;
        QString caption;
        float advance, map, battery, gpi3;
        QList<QColor> lamps;
    };
    const QList<Expect> steps = {
        {0.2, "1000", 10, 17, 13.8f, 1, {kBlack, kRed, kRed}},
        // Esc: the values the tick did not reach stay as they were.
        {0.7, "1000", 10, 40, 12, 2, {kRed, kBlack, kBlack}},
        // Link lost: blanked as the live panel is; the advance keeps its value.
        {1.2, "0", 10, 0, 0, 0, {kRed, kRed, kRed}},
        {1.6, "6500", 35, 55, 14.2f, 4, {kBlack, kBlack, kBlack}},
    };
    for (const Expect& e : steps) {
        review.setCursor(e.cursor);
        QCOMPARE(rig.panel().gauTach->caption(), e.caption);
        QCOMPARE(float(rig.panel().gauAdv->pointerValue()), e.advance);
        QCOMPARE(float(rig.panel().gauMAP->pointerValue()), e.map);
        QCOMPARE(float(rig.panel().gauBatVolts->pointerValue()), e.battery);
        QCOMPARE(float(rig.panel().gauGPI3A->pointerValue()), e.gpi3);
        QCOMPARE(rig.lamps(), e.lamps);
        rig.w().acquisition().tmrDataRead_Timer();
    }
    QCOMPARE(rig.port.written.size(), before);  // no tick went over the link
    QVERIFY(rig.w().charts().replay().indicator()->text().startsWith("REPLAY"));

    // Play moves the cursor at the recorded speed times the chosen one.
    review.setCursor(0);
    review.setSpeed(4);
    rig.clock.advance(std::chrono::milliseconds(250));
    review.playFrame();
    QCOMPARE(review.cursor(), 1.0);
    rig.clock.advance(std::chrono::seconds(5));
    review.playFrame();
    QCOMPARE(review.cursor(), 1.5);  // stopped at the end
    QVERIFY(!review.playing());

    // Closed, the review gives the panel back: polling goes on, the MAP gauge is the module's.
    review.close();
    QVERIFY(!rig.w().acquisition().paused());
    QVERIFY(!rig.w().charts().replay().indicator()->isVisible());
    QCOMPARE(rig.panel().gauMAP->scaleMaximum(), 31.0);
    rig.w().acquisition().tmrDataRead_Timer();
    QVERIFY(rig.port.written.size() > before);
    QCOMPARE(rig.panel().gauTach->caption(), QStringLiteral("916"));  // count 0x1000: 915.5 rpm
}

void TestChartReview::filesThatCannotBeShown_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("box");   // the box's text, after the file's name
    QTest::addColumn<QString>("note");  // shown over the chart when the file opens
    const QByteArray good =
        recording({{0, 900, 10, 17, 13.8f, 2.5f, 0x04, Sample::End::Complete}}, 1);
    QTest::newRow("another program's file")
        << QByteArray("Time;RPM\n0;900\n") << " is not a recording: line 1 should be the header row"
        << "";
    QTest::newRow("no rows") << good.left(good.indexOf("\n2026")) + "\n"
                             << " holds no rows: nothing follows its header row (line 8)"
                             << "";
    QTest::newRow("cut off by a crash") << good + "2026-12-08T14:00:00.500+00:00,0.5"
                                        << ""
                                        << "The last line (10) is incomplete";
}

void TestChartReview::filesThatCannotBeShown() {
    QFETCH(QByteArray, content);
    QFETCH(QString, box);
    QFETCH(QString, note);
    Rig rig;
    const QString path = rig.file("run.csv", content);
    QVERIFY(rig.open(path));
    if (!box.isEmpty()) {
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.shown[0].title, QStringLiteral("Open Recording"));
        QVERIFY2(
            rig.boxes.shown[0].text.startsWith("\"" + QDir::toNativeSeparators(path) + "\"" + box),
            qPrintable(rig.boxes.shown[0].text));
        QVERIFY(!rig.review()->isVisible());
        return;
    }
    QCOMPARE(rig.boxes.count(), 0);
    QVERIFY(rig.review()->isVisible());
    auto* shown = rig.review()->findChild<QLabel*>("lblNote");
    QVERIFY(shown->isVisibleTo(rig.review()));
    QVERIFY2(shown->text().contains(note), qPrintable(shown->text()));
}

void TestChartReview::picturesOfTheView() {
    Rig rig;
    QVERIFY(rig.open(
        rig.file("run.csv", recording({{0, 900, 10, 17, 13.8f, 2.5f, 0x04, Sample::End::Complete},
                                       {0.5, 950, 11, 18, 13.7f, 2.4f, 0x00, Sample::End::Escape}},
                                      1))));
    const chart::ChartScene scene = rig.review()->chart()->scene();
    const QString png = rig.dir.filePath("view.png"), svg = rig.dir.filePath("view.svg");
    QCOMPARE(chart::savePicture(scene, QSize(800, 500), 2, png), QString());
    QCOMPARE(QImage(png).size(), QSize(1600, 1000));
#ifdef IGNIVEX_HAVE_SVG
    QCOMPARE(chart::savePicture(scene, QSize(800, 500), 1, svg), QString());
    QFile f(svg);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("<svg") && text.contains("viewBox=\"0 0 800 500\""));
#else
    QVERIFY(!chart::savePicture(scene, QSize(800, 500), 1, svg).isEmpty());
    QVERIFY(!QFile::exists(svg));
#endif
    // 800 x 500 pixels at 96 per inch is a page of 600 x 375 points.
    const QString pdf = rig.dir.filePath("view.pdf");
    QCOMPARE(chart::savePicture(scene, QSize(800, 500), 1, pdf), QString());
    QFile d(pdf);
    QVERIFY(d.open(QIODevice::ReadOnly));
    const QByteArray doc = d.readAll();
    QVERIFY(doc.startsWith("%PDF-"));
    const auto box = QRegularExpression(QStringLiteral("/MediaBox \\[([^\\]]*)\\]"))
                         .match(QString::fromLatin1(doc));
    QList<double> corners;
    for (const QString& n : box.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        corners << n.toDouble();
    QCOMPARE(corners, (QList<double>{0, 0, 600, 375}));
    QVERIFY(!chart::savePicture(scene, QSize(800, 500), 1, rig.dir.filePath("no/such/folder/x.png"))
                 .isEmpty());
#ifndef Q_OS_WIN
    // A disk that fills up (here: a file-size limit, which Windows has not) is said in the
    // system's words.
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 1000;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString full =
        chart::savePicture(scene, QSize(800, 500), 1, rig.dir.filePath("full.png"));
    ::setrlimit(RLIMIT_FSIZE, &before);
    QCOMPARE(full, QString::fromLocal8Bit(std::strerror(EFBIG)));
    QVERIFY(!QFileInfo::exists(rig.dir.filePath("full.png")));
#endif
}

void TestChartReview::liveChartTakesEachSample() {
    Rig rig;
    rig.w().mnuViewChart_Click();
    chart::LiveChartWindow& live = *rig.w().charts().chartWindow();
    for (int i = 0; i < 3; ++i) {
        rig.clock.advance(std::chrono::milliseconds(500));
        rig.w().acquisition().tmrDataRead_Timer();
    }
    const record::Table& t = live.series().table();
    QCOMPARE(t.size(), std::size_t(3));
    QVERIFY(t.elapsed[0] == 0 && t.elapsed[1] >= 0.5 && t.elapsed[2] >= t.elapsed[1] + 0.5);
    QCOMPARE(t.column(Value::Rpm).back(), 915.52734375f);  // count 0x1000
    QCOMPARE(t.column(Value::Gpi3).back(), 1.0f);          // bits 0x1C
    // A picture already being painted (the window's first, of no rows) holds this frame's
    // back; the window's own frames then bring the rows.
    live.showFrame();
    QTRY_VERIFY(live.chart()->data() && live.chart()->data()->table.size() == 3);
    QTRY_VERIFY(live.chart()->picturesPainted() > 0);
    // Paused, the view stays where it was while samples keep arriving, and moves back no
    // further than the first sample kept.
    live.setFollowing(false);
    const double end = live.viewEnd();
    for (int i = 0; i < 2; ++i) {
        rig.clock.advance(std::chrono::milliseconds(500));
        rig.w().acquisition().tmrDataRead_Timer();
    }
    QCOMPARE(live.series().table().size(), std::size_t(5));
    QCOMPARE(live.viewEnd(), end);
    QCOMPARE(live.stateText(), QStringLiteral("paused"));
    live.pan(-3600);
    QCOMPARE(live.viewEnd(), live.series().latest());  // the whole run is shorter than the view
    live.setFollowing(true);
    QCOMPARE(live.viewEnd(), live.series().latest());
    // Closed, it keeps what comes; the view opened again starts afresh.
    live.close();
    rig.w().acquisition().tmrDataRead_Timer();
    QCOMPARE(live.series().table().size(), std::size_t(6));
    rig.w().view().cmdCloseRealTimeData_Click();
    rig.w().mnuViewRealTime_Click();
    QCOMPARE(live.series().table().size(), std::size_t(0));
}

// Playing a recording pauses the polling a running recording needs, so each refuses while the
// other runs, and says what to do.
void TestChartReview::replayAndRecordingTakeTurns() {
    Rig rig;
    QVERIFY(rig.open(rig.file(
        "old.csv", recording({{0.0, 1000, 10, 17, 13.8f, 1, 0x04, Sample::End::Complete}}, 1))));
    rig.prompts.path = rig.dir.filePath("new.csv");
    rig.prompts.chosenRate = Rate{10};
    rig.w().recording().mnuRecord_Click();
    rig.review()->play();
    QVERIFY(!rig.w().charts().replay().active());
    QTRY_COMPARE(rig.boxes.count(), 1);
    QVERIFY(rig.boxes.shown[0].text.contains("Choose File, Stop Recording first."));
    rig.w().recording().mnuStopRecording_Click();
    rig.review()->play();
    QVERIFY(rig.w().charts().replay().active());
    rig.w().recording().mnuRecord_Click();
    QVERIFY(!rig.w().recording().recording());
    QTRY_COMPARE(rig.boxes.count(), 2);
    QVERIFY(rig.boxes.shown[1].text.contains("Close the review window"));
}

// Numbers no module sends, and files no recorder writes: each opens, and its picture is drawn
// (a drawing that does not end fails the test by its time limit).
void TestChartReview::extremeFilesOpenAndDraw_data() {
    QTest::addColumn<QByteArray>("body");  // after the preamble
    QTest::addColumn<int>("rows");
    auto row = [](const QByteArray& elapsed, const QByteArray& value) {
        return QByteArray("2026-12-08T14:00:00.000+00:00,") + elapsed + ',' + value + ',' + value +
               ',' + value + ',' + value + ',' + value + ",1,0,1,ok\n";
    };
    auto tenTo = [](int n) { return QByteArray("1") + QByteArray(n, '0'); };
    QTest::newRow("1e17 volts") << row("0", tenTo(17)) + row("1", tenTo(17)) << 2;
    QTest::newRow("1e17 and 0") << row("0", "0") + row("1", tenTo(17)) << 2;
    QTest::newRow("1e308, no float holds it")
        << row("0", tenTo(308)) + row("1", "-" + tenTo(308)) << 2;
    QTest::newRow("elapsed 0 and 1e13") << row("0", "1") + row(tenTo(13), "2") << 2;
    QTest::newRow("elapsed 1e300") << row(tenTo(300), "1") + row(tenTo(300), "2") << 2;
    QTest::newRow("equal times") << row("5", "1") + row("5", "2") + row("5", "3") << 3;
    QTest::newRow("a line of a megabyte") << row("0", "1") + QByteArray(1 << 20, '7') + "\n" << 1;
}

void TestChartReview::extremeFilesOpenAndDraw() {
    QFETCH(QByteArray, body);
    QFETCH(int, rows);
    Rig rig;
    QVERIFY(rig.open(rig.file("x.csv", recording({}, 1) + body)));
    QCOMPARE(rig.boxes.count(), 0);
    QVERIFY(rig.review()->chart()->data());
    QCOMPARE(int(rig.review()->chart()->data()->table.size()), rows);
    QVERIFY(!rig.review()->grab().isNull());
}

void TestChartReview::detailsCountEachStatus() {
    Rig rig;
    QVERIFY(rig.open(
        rig.file("statuses.csv", recording(
                                     {
                                         {0.0, 1000, 10, 17, 13.8f, 1, 0x04, Sample::End::Escape},
                                         {0.5, kNo, kNo, kNo, kNo, kNo, -1, Sample::End::Held},
                                         {1.0, 1000, kNo, 17, 13.8f, 1, 0x04, Sample::End::Ignored},
                                         {1.5, 1000, kNo, 17, 13.8f, 1, 0x04, Sample::End::Ignored},
                                         {2.0, 1000, 10, 17, 13.8f, 1, 0x04, Sample::End::Complete},
                                     },
                                     1))));
    QStringList counts;
    const auto* details = rig.review()->findChild<QTreeWidget*>("lstDetails");
    for (int i = 0; i < details->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = details->topLevelItem(i);
        if (item->text(0).startsWith("rows not ok") || item->text(0).startsWith("  "))
            counts << item->text(0).trimmed() + " " + item->text(1);
    }
    QCOMPARE(counts, QStringList({"rows not ok 4", "esc 1", "link-lost 0", "aborted 0", "ignored 2",
                                  "held 1", "surplus 0"}));
}

void TestChartReview::arrangementText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    const QString standard = QStringLiteral("rpm;advance;map;battery_v;gpi3_v;gpi1;gpi2;gpi3");
    QTest::newRow("nothing") << QString() << standard;
    QTest::newRow("unknown only") << QStringLiteral("boost;lambda") << standard;
    QTest::newRow("shared and fixed") << QStringLiteral("rpm;advance+map@0:40;gpi1+gpi2")
                                      << QStringLiteral("rpm;advance+map@0:40;gpi1+gpi2");
    QTest::newRow("repeat and unknown dropped")
        << QStringLiteral("rpm+boost;advance+rpm;;map") << QStringLiteral("rpm;advance;map");
    QTest::newRow("upside-down scale") << QStringLiteral("rpm@5000:1000") << QStringLiteral("rpm");
    QTest::newRow("scale not numbers")
        << QStringLiteral("battery_v@low:high;rpm@nan:1") << QStringLiteral("battery_v;rpm");
    QTest::newRow("scale beyond a double")
        << QStringLiteral("rpm@-1e308:1e308") << QStringLiteral("rpm");
    QTest::newRow("scale narrower than a reading")
        << QStringLiteral("map@2e-323:5e-308;rpm@0:1e-12") << QStringLiteral("map;rpm");
    QTest::newRow("negative, fractional")
        << QStringLiteral("advance@-10.5:45.25") << QStringLiteral("advance@-10.5:45.25");
}

void TestChartReview::arrangementText() {
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QCOMPARE(chart::Arrangement::fromText(text).toText(), kept);
}

void TestChartReview::channelsDialogSteps() {
    const auto before = chart::Arrangement::fromText(
        QStringLiteral("rpm@0:8000;advance;map;battery_v;gpi3_v;gpi1;gpi2;gpi3"));
    chart::ChannelsDialog dialog(before, QStringLiteral("0 to 60"));
    dialog.select(0);
    dialog.setJoined(true);  // nothing above: rpm keeps its strip and its scale
    dialog.select(2);
    dialog.setJoined(true);  // MAP onto the advance strip
    dialog.setShown(6, false);
    dialog.select(7);
    dialog.move(-1);  // GPI3 above the hidden GPI2
    QCOMPARE(dialog.arrangement().toText(),
             QStringLiteral("rpm@0:8000;advance+map;battery_v;gpi3_v;gpi1;gpi3"));
    dialog.select(1);
    dialog.move(-1);  // advance first: the rpm strip's scale stays with rpm
    QCOMPARE(dialog.arrangement().toText(),
             QStringLiteral("advance;rpm+map@0:8000;battery_v;gpi3_v;gpi1;gpi3"));
    dialog.restoreStandard();
    QCOMPARE(dialog.arrangement(), chart::Arrangement::standard());
}

void TestChartReview::stripScaleByMouse() {
    record::Table table;
    for (int i = 0; i < 50; ++i) {
        record::Row row;
        row.elapsed = i * 0.1;
        row.rpm = 1000 + 40 * i;
        row.gpi1 = i % 2 == 0;
        table.append(row);
    }
    chart::StripChart chart;
    chart.resize(700, 400);
    chart.setDataAndView(chart::makeChartData(std::move(table), false), 0, 5);
    chart::StripChart other;  // the other window's chart, remembering the same choice
    chart.rememberArrangement();
    other.rememberArrangement();
    chart.setArrangement(chart::Arrangement::fromText(QStringLiteral("rpm;gpi1")));
    QSignalSpy edited(&chart, &chart::StripChart::arrangementEdited);
    const QRectF rpmStrip =
        chart::ChartLayout(chart.rect(), chart.font(), chart.arrangement()).strip(0);
    const QRectF inputStrip =
        chart::ChartLayout(chart.rect(), chart.font(), chart.arrangement()).strip(1);
    auto wheel = [&](QPointF at) {
        QWheelEvent e(at, chart.mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&chart, &e);
    };
    const auto shown = chart::scaleShown(chart.scene(), chart.rect(), 0);
    QVERIFY(shown && shown->low <= 1000 && shown->high >= 2960);
    // The wheel on the rpm strip's scale narrows it about the value under the pointer.
    wheel({20, rpmStrip.center().y()});
    QCOMPARE(edited.count(), 1);
    const auto fixed = chart.arrangement().strips[0].fixed;
    QVERIFY(fixed && fixed->high - fixed->low < shown->high - shown->low);
    QVERIFY(fixed->low > shown->low && fixed->high < shown->high);
    QCOMPARE(other.arrangement(), chart.arrangement());
    // An input's strip has no scale to zoom; over the plot the wheel zooms time instead.
    wheel({20, inputStrip.center().y()});
    wheel({rpmStrip.center().x(), rpmStrip.center().y()});
    QCOMPARE(edited.count(), 1);
    // A double click on the names brings the automatic scale back.
    QTest::mouseDClick(&chart, Qt::LeftButton, {}, QPoint(20, int(rpmStrip.center().y())));
    QCOMPARE(edited.count(), 2);
    QVERIFY(!chart.arrangement().strips[0].fixed);
}

QTEST_MAIN(TestChartReview)
#include "tst_chart_review.moc"

// A second recording over the first: aligned at the starts when it comes, moved by a number,
// drawn with the first on one scale.
void TestChartReview::overlayAlignsAndMoves() {
    Rig rig;
    QVERIFY(rig.open(QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv")));
    rig.review()->openOverlay(QStringLiteral(IGNIVEX_FIXTURES "/recordings/marked.csv"));
    QTRY_VERIFY(rig.review()->overlay() != nullptr);
    QCOMPARE(rig.review()->overlayShift(), -0.012);  // its first row at 0.012 s, the pull's at 0
    QCOMPARE(rig.review()->chart()->scene().overlays.at(0).data, rig.review()->overlay()->chart);
    rig.review()->alignOverlay(0.212, 3.0);  // its last row under the pull's row at 3 s
    QCOMPARE(rig.review()->chart()->scene().overlays.at(0).shift, 2.788);
    QCOMPARE(chart::savePicture(rig.review()->chart()->scene(), QSize(600, 400), 1,
                                rig.dir.filePath("overlay.png")),
             QString());
#ifdef IGNIVEX_HAVE_SVG
    // An exported picture names both files.
    QCOMPARE(chart::savePicture(rig.review()->pictureScene(), QSize(900, 500), 1,
                                rig.dir.filePath("overlay.svg")),
             QString());
    QFile svg(rig.dir.filePath("overlay.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    QVERIFY(text.contains("pull.csv") && text.contains("marked.csv (moved +2.788 s)"));
#endif
    rig.review()->closeOverlay();
    QVERIFY(rig.review()->chart()->scene().overlays.empty());
}

// The overlay is dashed whether its rows are drawn one by one or as each column's extremes, and
// its inputs are not the recording's grey: here the recording holds 2000 rpm and GPI1 on, the
// overlay 4000 rpm and GPI1 off, 20,000 rows 10 ms apart.
void TestChartReview::overlayIsToldApart_data() {
    QTest::addColumn<double>("seconds");
    QTest::newRow("the whole recording: a column's extremes") << 200.0;
    QTest::newRow("two seconds: row by row") << 2.0;
}

void TestChartReview::overlayIsToldApart() {
    QFETCH(double, seconds);
    auto table = [](double rpm, double gpi1) {
        record::Table t;
        for (int i = 0; i < 20000; ++i) {
            record::Row row;
            row.time = QDateTime(QDate(2026, 12, 8), QTime(14, 0), QTimeZone(0)).addMSecs(i * 10);
            row.elapsed = i * 0.01;
            setValue(row, valueSpec(Value::Rpm), rpm);
            setValue(row, valueSpec(Value::Gpi1), gpi1);
            t.append(row);
        }
        return chart::makeChartData(std::move(t), true);
    };
    chart::ChartScene scene;
    scene.data = table(2000, 1);
    scene.overlays = {{table(4000, 0), 0, {}}};
    scene.t1 = seconds;
    scene.strips = chart::Arrangement::fromText(QStringLiteral("rpm;gpi1"));
    QImage image(800, 500, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    chart::paintChart(p, image.rect(), scene);
    p.end();
    const chart::ChartLayout layout(image.rect(), scene.font, scene.strips);
    // Along each line of pixels of the rpm strip, the stretches of blue.
    const QRect r = layout.strip(0).toAlignedRect().adjusted(2, 2, -2, -2);
    int mostStretches = 0, longest = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        int stretches = 0, length = 0;
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y), before = image.pixelColor(x - 1, y);
            const bool blue = c.blue() > c.red() + 40;
            stretches += blue && !(before.blue() > before.red() + 40);
            length = blue ? length + 1 : 0;
            longest = std::max(longest, length);
        }
        mostStretches = std::max(mostStretches, stretches);
    }
    QVERIFY2(mostStretches >= 20, qPrintable(QString::number(mostStretches)));  // dashes
    QVERIFY(longest > r.width() * 9 / 10);                                      // the solid line
    const QRect inputs = layout.strip(1).toAlignedRect();
    bool ownColour = false;
    for (int y = inputs.top(); y <= inputs.bottom() && !ownColour; ++y)
        for (int x = inputs.left(); x <= inputs.right() && !ownColour; ++x)
            ownColour = image.pixelColor(x, y).red() > image.pixelColor(x, y).green() + 60;
    QVERIFY(ownColour);
}

// Four recordings compared: pull.csv with three overlays, each in a line of its own; a fourth
// is refused with what to do; an overlay's statistics are of its own rows, moved as it is drawn.
void TestChartReview::fourRecordingsCompared() {
    Rig rig;
    const QString pull = QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv");
    QVERIFY(rig.open(pull));
    chart::ReviewState& state = rig.review()->state();
    const QString overlays[] = {QStringLiteral(IGNIVEX_FIXTURES "/recordings/marked.csv"), pull,
                                QStringLiteral(IGNIVEX_FIXTURES "/recordings/sample.csv")};
    for (int i = 0; i < 3; ++i) {
        rig.review()->openOverlay(overlays[i]);
        QTRY_COMPARE(state.overlayCount(), i + 1);
    }
    const auto before = rig.boxes.count();
    rig.review()->openOverlay(pull);
    QCOMPARE(rig.boxes.count(), before + 1);
    QCOMPARE(rig.boxes.shown.last().text,
             QStringLiteral("Four recordings can be compared at once, and 3 overlays are open. "
                            "Close one (File, Close Overlay) before opening pull.csv."));
    QCOMPARE(state.overlayCount(), 3);

    // pull.csv over itself a second later: at cursor A (2 s) its row of 1 s, 2000 rpm; over the
    // view (0 to 3.5 s, its 0 to 2.5 s) its rows ok are 900, 1000, 2000, 3000 and 4000 rpm.
    QVERIFY(state.setOverlayShift(1, 1.0));
    state.setCursor(2.0);
    auto* of = rig.review()->statistics()->findChild<QComboBox*>("cboStatisticsOf");
    QCOMPARE(of->count(), 4);
    of->setCurrentIndex(2);
    rig.review()->refreshStatistics();
    const QString text = rig.review()->statistics()->text();
    QVERIFY2(text.contains("\nRPM (rpm)\t2000.0\t\t\t900.0\t4000.0\t2180.0"), qPrintable(text));
    QVERIFY2(text.contains("Of pull.csv, moved +1.000 s."), qPrintable(text));

    // Each overlay's inputs in a colour of its own, none the recording's grey.
    chart::ChartScene scene = rig.review()->chart()->scene();
    QCOMPARE(scene.overlays.size(), std::size_t(3));
    scene.strips = chart::Arrangement::fromText(QStringLiteral("gpi1"));
    QImage image(800, 300, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    chart::paintChart(p, image.rect(), scene);
    p.end();
    for (const QColor wanted : {QColor(200, 40, 120), QColor(30, 130, 60), QColor(200, 120, 0)}) {
        bool found = false;
        for (int y = 0; y < image.height() && !found; ++y)
            for (int x = 0; x < image.width() && !found; ++x) {
                const QColor c = image.pixelColor(x, y);
                found = std::abs(c.red() - wanted.red()) + std::abs(c.green() - wanted.green()) +
                            std::abs(c.blue() - wanted.blue()) < 40;
            }
        QVERIFY2(found, qPrintable(wanted.name()));
    }

    // Runs chosen together (the library's Overlay in the Review): the first shown, the next
    // three over it in their order, the overlays there were closed, a fifth left out.
    rig.w().charts().openWithOverlays({overlays[2], pull, overlays[0], overlays[2], pull});
    QTRY_COMPARE(state.overlayCount(), 3);
    QTRY_VERIFY(!rig.review()->overlayLoading());
    QCOMPARE(state.overlayCount(), 3);
    QCOMPARE(QFileInfo(state.recording()->path).fileName(), QStringLiteral("sample.csv"));
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << QFileInfo(state.overlay(i)->path).fileName();
    QCOMPARE(names, (QStringList{"pull.csv", "marked.csv", "sample.csv"}));

    // Closing the current overlay (the last opened) leaves the others in their order.
    QVERIFY(state.setCurrentOverlay(0));
    rig.review()->closeOverlay();
    QCOMPARE(state.overlayCount(), 2);
    QCOMPARE(QFileInfo(state.overlay(0)->path).fileName(), QStringLiteral("marked.csv"));
    QCOMPARE(of->count(), 3);
}

// Every mark is listed, Enter on one goes to it, and the strips draw no more than one a
// pixel column: 20,000 rows 10 ms apart, each marked.
void TestChartReview::manyMarksListedAndThinned() {
    record::Details d;
    d.tool = "Ignivex Log 1.1";
    d.started = QDateTime(QDate(2026, 12, 8), QTime(14, 0), QTimeZone(0));
    QByteArray file = record::preamble(d);
    const Instant start(std::chrono::seconds(1));
    for (int i = 0; i < 20000; ++i) {
        Sample s;
        s.monotonic = start + std::chrono::milliseconds(i * 10);
        s.wallClock = d.started.addMSecs(i * 10);
        s.rpm = 1000;
        file += record::row(s, start, QStringLiteral("m%1").arg(i));
    }
    Rig rig;
    QVERIFY(rig.open(rig.file("marks.csv", file)));
    auto* list = rig.review()->findChild<QListView*>("lstMarks");
    QCOMPARE(list->model()->rowCount(), 20000);
    const QModelIndex mark = list->model()->index(12345, 0);
    QCOMPARE(mark.data().toString(), QStringLiteral("2:03.450  m12345"));
    rig.review()->findChild<QDockWidget*>("dockMarks")->raise();
    list->setCurrentIndex(mark);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(rig.review()->cursor(), 123.45);
    // Aligned at marks chosen from lists of all of them: the file's 100th under its 12,346th.
    rig.review()->openOverlay(rig.dir.filePath("marks.csv"));
    QTRY_VERIFY(rig.review()->overlay());
    int asked = 0;
    QTimer pick;
    connect(&pick, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            auto* choice = d->findChild<QListView*>("lstChooseMark");
            choice->setCurrentIndex(choice->model()->index(asked++ == 0 ? 12345 : 99, 0));
            d->accept();
        }
    });
    pick.start(10);
    rig.review()->findChild<QAction*>("mnuAlignMark")->trigger();
    QCOMPARE(asked, 2);
    QCOMPARE(rig.review()->overlayShift(), 123.45 - 0.99);
    // 400 columns of half a second over the whole: the first of each column's 50 marks.
    const chart::ChartData& data = *rig.review()->recording()->chart;
    const std::vector<std::size_t> drawn = chart::userMarksToDraw(data, 0, 200, 400);
    QCOMPARE(drawn.size(), std::size_t(400));
    QCOMPARE(drawn[1], std::size_t(50));
    QCOMPARE(drawn.back(), std::size_t(19950));
    // Fewer marks in view than columns: each of them.
    QCOMPARE(chart::userMarksToDraw(data, 100, 100.05, 400),
             (std::vector<std::size_t>{10000, 10001, 10002, 10003, 10004, 10005}));
}

// An SVG of a long recording holds each strip's envelope as a few polygons, not a bar per pixel
// column, and carries its title.
void TestChartReview::densePicturesAreDrawings() {
#ifndef IGNIVEX_HAVE_SVG
    QSKIP("this build writes no SVG drawings");
#endif
    record::Table table;
    for (int i = 0; i < 100000; ++i) {
        record::Row row;
        row.time = QDateTime(QDate(2026, 12, 8), QTime(14, 0), QTimeZone(0)).addMSecs(i * 12);
        row.elapsed = i * 0.012;
        for (const ValueSpec& entry : kValues)
            setValue(row, entry,
                     isInput(entry) ? double(i / 500 % 2) : 10 + std::sin(i * 0.01) * 5 + (i % 7));
        table.append(row);
    }
    chart::ChartScene scene;
    scene.data = chart::makeChartData(std::move(table), true);
    scene.t0 = 0;
    scene.t1 = 1200;
    scene.title = QStringLiteral("run.csv   2026-12-08 14:00   0:00.0 to 20:00.0");
    QTemporaryDir dir;
    const QString svg = dir.filePath("dense.svg");
    QCOMPARE(chart::savePicture(scene, QSize(800, 500), 1, svg), QString());
    QFile f(svg);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.count("<rect") < 200, QByteArray::number(text.count("<rect")).constData());
    QVERIFY(text.contains("run.csv"));
}

// Beside the strips, each value at the pointer, else at the cursor, else at the view's right
// edge: the newest row while following, the time shown when the live chart is paused back.
void TestChartReview::valuesBesideTheStrips_data() {
    QTest::addColumn<double>("viewEnd");
    QTest::addColumn<double>("cursor");  // negative: none
    QTest::addColumn<QString>("shown");
    QTest::newRow("following") << 2.0 << -1.0 << "3000 rpm";
    QTest::newRow("paused on the second row") << 1.0 << -1.0 << "2000 rpm";
    QTest::newRow("paused between rows") << 1.5 << -1.0 << "2000 rpm";
    QTest::newRow("a cursor wins") << 2.0 << 0.0 << "1000 rpm";
}

void TestChartReview::valuesBesideTheStrips() {
#ifndef IGNIVEX_HAVE_SVG
    QSKIP("this build writes no SVG drawings");
#endif
    QFETCH(double, viewEnd);
    QFETCH(double, cursor);
    QFETCH(QString, shown);
    record::Table table;
    for (int i = 0; i < 3; ++i) {
        record::Row row;
        row.elapsed = i;
        row.rpm = 1000.0 * (i + 1);
        table.append(row);
    }
    chart::ChartScene scene;
    scene.data = chart::makeChartData(std::move(table), false);
    scene.t0 = viewEnd - 60;
    scene.t1 = viewEnd;
    if (cursor >= 0)
        scene.cursor = cursor;
    QTemporaryDir dir;
    QCOMPARE(chart::savePicture(scene, QSize(800, 500), 1, dir.filePath("p.svg")), QString());
    QFile f(dir.filePath("p.svg"));
    const QString svg = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    for (const char* value : {"1000 rpm", "2000 rpm", "3000 rpm"})
        QCOMPARE(svg.contains(QLatin1String(value)), shown == QLatin1String(value));
}

// A long drive keeps the newest rows, never more than about an eighth over its bound.
void TestChartReview::liveSeriesIsBounded() {
    chart::LiveSeries series(100);
    Sample s;
    for (int i = 0; i < 250; ++i) {
        s.monotonic = Instant(std::chrono::milliseconds(100 * i));
        s.rpm = float(i);
        series.append(s);
        QVERIFY(series.table().size() <= 112);
    }
    QVERIFY(series.table().size() >= 100);
    QCOMPARE(series.table().column(Value::Rpm).back(), 249.0f);
    QCOMPARE(series.latest(), 24.9);
    QCOMPARE(series.earliest(), 0.1 * double(250 - series.table().size()));
}

// The fixture's figures, worked out by hand (tests/unit/tst_analysis.cpp): A at 1.0 s, B at
// 3.0 s; the Esc row at 2.5 s is left out.
void TestChartReview::statisticsBetweenTheCursors_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("cells");  // A, B, B - A, min, max, mean
    QTest::newRow("rpm") << 0 << QStringList{"2000.0", "4500.0", "2500.0",
                                             "2000.0", "4500.0", "3375.00"};
    QTest::newRow("battery") << 3 << QStringList{"13.400", "13.000", "-0.400",
                                                 "13.000", "13.800", "13.4500"};
    QTest::newRow("empty cell at B")
        << 4 << QStringList{"2.000", "", "", "2.000", "3.000", "2.3333"};
    QTest::newRow("input") << 5 << QStringList{"1", "1", "0", "0", "1", "0.750"};
}

void TestChartReview::statisticsBetweenTheCursors() {
    QFETCH(int, row);
    QFETCH(QStringList, cells);
    Rig rig;
    QVERIFY(rig.open(QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv")));
    rig.review()->setCursor(1.0);
    rig.review()->setCursorB(3.0);
    rig.review()->refreshStatistics();
    auto* table = rig.review()->statistics()->findChild<QTableWidget*>("tblStatistics");
    QStringList seen;
    for (int c = 1; c <= 6; ++c)
        seen << table->item(row, c)->text();
    QCOMPARE(seen, cells);
    QVERIFY(rig.review()->statistics()->text().contains("between the cursors"));
    // Without B: the whole view, eight rows less the Esc row.
    rig.review()->setCursorB(std::nullopt);
    rig.review()->zoomAll();
    rig.review()->refreshStatistics();
    QVERIFY(rig.review()->statistics()->text().contains("over the view"));
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("900.0"));
}
