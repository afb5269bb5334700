// The dashboard fed the acquisition's samples as the main window feeds it: the tiles show the
// module's channels and a channel by formula, a lost link, alarms told to it, the recording
// driven from its buttons (with the marks then on the live chart's rows), and its pages.
#include "app/ChartWindows.h"
#include "app/DashboardWiring.h"
#include "app/RecordingControl.h"
#include "acquire/Acquisition.h"
#include "dashboard/DashboardWindow.h"
#include "dashboard/TileGrid.h"
#include "formula/FormulaStore.h"
#include "watch/AlarmSet.h"
#include "watch/StartTrigger.h"
#include "base/AppIdentity.h"
#include "support/MainHarness.h"

#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const QString kDash = QStringLiteral("\u2014");

struct Rig : MainHarness {
    IsolatedConfig config;
    QTemporaryDir dir;
    dash::DashboardWindow* d = nullptr;
    int tick = 0;
    explicit Rig(bool ownTiles = true) {
        QSettings settings = userSettings();
        formula::Formulas kept{{{"krpm", "rpm / 1000", "krpm", 2}}, {}};
        if (ownTiles)
            kept.channels.push_back({"bad", "nosuch + 1", "", 0});
        formula::saveFormulas(settings, kept);
        if (ownTiles)
            settings.setValue("Dashboard/Tiles", QString::fromLatin1(R"({"pages":[
                {"name":"A","tiles":[
                  {"channel":"rpm","kind":"number","column":0,"row":0},
                  {"channel":"krpm","kind":"number","column":1,"row":0},
                  {"channel":"battery_v","kind":"bar","column":2,"row":0},
                  {"channel":"gpi1","kind":"lamp","column":3,"row":0},
                  {"channel":"gone","kind":"number","column":0,"row":1}]},
                {"name":"B","tiles":[{"channel":"map","kind":"dial","column":0,"row":0,"columns":2,"rows":2}]}]})"));
        showWithHealthyModule();
        prompts.path = dir.filePath("run.csv");
        prompts.chosenRate = Rate{10};
        w().mnuViewRealTime_Click();
        w().mnuViewDashboard_Click();
        d = w().charts().dashboard();
    }
    void feed(std::optional<float> rpm, std::optional<float> battery, std::optional<std::int16_t> bits,
              Sample::End end = Sample::End::Complete) {
        Sample s;
        s.monotonic = Instant(std::chrono::milliseconds(100 * ++tick));
        s.wallClock = QDateTime(QDate(2026, 12, 10), QTime(12, 0)).addMSecs(100 * tick);
        s.rpm = rpm;
        s.battery = battery;
        s.gpiBits = bits;
        s.map = 21.5f;
        s.advance = 24.5f;
        s.gpi3Analog = 2.5f;
        s.end = end;
        emit w().acquisition().sampleReady(s);
    }
    void pollTick() {
        clock.advance(std::chrono::milliseconds(100));
        w().acquisition().tmrDataRead_Timer();
    }
    QStringList shown() {
        QStringList out;
        for (const auto* t : d->tiles())
            out << t->face().valueText();
        return out;
    }
    QPushButton* button(const char* name) { return d->findChild<QPushButton*>(name); }
};
}  // namespace

class TestDashboard : public QObject {
    Q_OBJECT
private slots:
    void showsTheSamples_data();
    void showsTheSamples();
    void alarmsOnTheirTilesAndTheBand();
    void alarmChannel_data();
    void alarmChannel();
    void alarmsOfThePollingReachTheDashboard();
    void buttonsRecordAndMarksReachTheLiveChart();
    void pagesByKeysAndSwipes();
    void screenshots();
};

void TestDashboard::showsTheSamples_data() {
    QTest::addColumn<float>("rpm");  // negative: not read
    QTest::addColumn<float>("battery");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QStringList>("expected");  // rpm, krpm, battery, gpi1, gone
    QTest::newRow("a pull, GPI1 on") << 6250.f << 13.8f << 0x04 << QStringList{"6250", "6.25", "13.80", "ON", kDash};
    QTest::newRow("idle, GPI1 off (GPI2 on)") << 900.f << 12.05f << 0x08 << QStringList{"900", "0.90", "12.05", "OFF", kDash};
    QTest::newRow("the link lost") << -1.f << -1.f << -1 << QStringList{kDash, kDash, kDash, kDash, kDash};
}

void TestDashboard::showsTheSamples() {
    QFETCH(float, rpm);
    QFETCH(float, battery);
    QFETCH(int, bits);
    QFETCH(QStringList, expected);
    Rig rig;
    QCOMPARE(rig.shown(), (QStringList{kDash, kDash, kDash, kDash, kDash}));  // nothing read yet
    rig.feed(3000, 14, 0x04);  // a row before, which the next must replace
    auto given = [](float v) { return v < 0 ? std::nullopt : std::optional<float>(v); };
    rig.feed(given(rpm), given(battery), bits < 0 ? std::nullopt : std::optional<std::int16_t>(bits),
             rpm < 0 ? Sample::End::LinkLost : Sample::End::Complete);
    QCOMPARE(rig.shown(), expected);
    // The tile of a channel no longer kept says so, and the formula that cannot be computed is
    // named.
    QCOMPARE(rig.d->tiles()[4]->face().name, "gone: no such channel");
    QVERIFY(!rig.d->tiles()[4]->face().known);
    QVERIFY2(rig.d->problems().contains("bad"), qPrintable(rig.d->problems()));
}

void TestDashboard::alarmsOnTheirTilesAndTheBand() {
    Rig rig;
    auto firingTiles = [&] {
        QStringList out;
        for (const auto* t : rig.d->tiles())
            if (t->face().alarmFiring)
                out << t->face().name + ": " + t->face().alarmText;
        return out;
    };
    rig.d->showAlarm(1, "battery_v", "battery low", true);
    rig.d->showAlarm(2, "map", "boost high", true);  // its tile is on the other page
    rig.d->showAlarm(3, "battery_v", "battery very low", true);
    QCOMPARE(rig.d->firingAlarms(), (QStringList{"battery low", "boost high", "battery very low"}));
    QCOMPARE(firingTiles(), QStringList{"Battery: battery low; battery very low"});
    QVERIFY(rig.d->findChild<QWidget*>("alarmStrip")->isVisible());
    rig.d->showPage(1);
    QCOMPARE(firingTiles(), QStringList{"MAP: boost high"});
    rig.d->showAlarm(2, "map", "boost high", false);
    QCOMPARE(firingTiles(), QStringList());
    rig.d->showPage(0);
    rig.d->showAlarm(1, "battery_v", "battery low", false);
    QCOMPARE(firingTiles(), QStringList{"Battery: battery very low"});
    rig.d->showAlarm(3, "battery_v", "battery very low", false);
    QCOMPARE(rig.d->firingAlarms(), QStringList());
    QCOMPARE(firingTiles(), QStringList());
    QVERIFY(!rig.d->findChild<QWidget*>("alarmStrip")->isVisible());
}

void TestDashboard::alarmChannel_data() {
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("channel");
    QTest::newRow("a comparison") << "battery_v < 11.5" << "battery_v";
    QTest::newRow("inside a function") << "smooth(rpm, 0.5) > 7000" << "rpm";
    QTest::newRow("after an exponent") << "1e5 < map" << "map";
    QTest::newRow("a function with a space") << "abs (advance - 10) > 3" << "advance";
    QTest::newRow("no channel") << "1 > 2" << "";
}

void TestDashboard::alarmChannel() {
    QFETCH(QString, condition);
    QFETCH(QString, channel);
    QCOMPARE(ignivex::alarmChannel(condition), channel);
}

// An alarm the polling watches fires on the dashboard, on the tile of the channel it reads.
void TestDashboard::alarmsOfThePollingReachTheDashboard() {
    Rig rig;
    const auto problems = rig.w().recording().alarms().set({{"battery low", "battery_v < 100", 0}});
    QVERIFY(!problems.at(0));
    rig.pollTick();
    QTRY_COMPARE(rig.d->firingAlarms(), QStringList{"battery low"});
    bool onItsTile = false;
    for (const auto* t : rig.d->tiles())
        onItsTile |= t->face().alarmFiring && t->face().name == "Battery";
    QVERIFY(onItsTile);
    // A start condition armed from the dashboard's Record is shown there; the healthy module
    // turns at 900 rpm, so it stays armed.
    QCOMPARE(rig.d->triggerText(), QString());
    rig.prompts.trigger = watch::TriggerSettings{"rpm > 5000", 1, 1};
    rig.button("cmdRecord")->click();
    QCOMPARE(rig.d->triggerText(), "trigger: armed");
    rig.button("cmdStop")->click();
    QCOMPARE(rig.d->triggerText(), QString());
}

void TestDashboard::buttonsRecordAndMarksReachTheLiveChart() {
    Rig rig;
    QVERIFY(!rig.button("cmdMark")->isEnabled());
    QVERIFY(!rig.button("cmdStop")->isEnabled());
    rig.d->setTriggerState(dash::TriggerState::Armed);
    QCOMPARE(rig.d->triggerText(), "trigger: armed");
    rig.button("cmdRecord")->click();
    QVERIFY(rig.w().recording().recording());
    QCOMPARE(rig.d->recordingText(), "\u25cf REC  0:00:00");
    QVERIFY(!rig.button("cmdRecord")->isEnabled());
    rig.d->setRecording(true, 3725);  // as the control's figures tell it each second
    QCOMPARE(rig.d->recordingText(), "\u25cf REC  1:02:05");
    rig.pollTick();  // row 0
    rig.button("cmdMark")->click();
    rig.pollTick();  // row 1, marked
    rig.prompts.markNote = "pull two";
    rig.w().recording().mnuMarkWithNote_Click();
    rig.pollTick();  // row 2, with the note
    rig.pollTick();
    rig.button("cmdStop")->click();
    QVERIFY(!rig.w().recording().recording());
    QCOMPARE(rig.d->recordingText(), "not recording");
    const auto& table = rig.w().charts().liveSeries().table();
    QCOMPARE(table.size(), std::size_t(4));
    QStringList marks;
    for (const auto& m : table.userMarks)
        marks << QStringLiteral("%1 %2").arg(m.row).arg(m.text);
    QCOMPARE(marks, (QStringList{"1 mark 1", "2 pull two"}));
}

void TestDashboard::pagesByKeysAndSwipes() {
    Rig rig;
    QVERIFY(rig.d->isFullScreen());
    QCOMPARE(rig.d->page(), 0);
    QTest::keyClick(rig.d, Qt::Key_PageDown);
    QCOMPARE(rig.d->page(), 1);
    QTest::keyClick(rig.d, Qt::Key_PageDown);  // round to the first
    QCOMPARE(rig.d->page(), 0);
    QTest::keyClick(rig.d, Qt::Key_2);
    QCOMPARE(rig.d->page(), 1);
    QTest::keyClick(rig.d, Qt::Key_9);  // no ninth page
    QCOMPARE(rig.d->page(), 1);
    QTest::keyClick(rig.d, Qt::Key_PageUp);
    QCOMPARE(rig.d->page(), 0);
    // A swipe to the left, begun on a tile, turns to the next page; a short one does not.
    auto* grid = rig.d->findChild<dash::TileGrid*>();
    auto swipe = [&](int dx) {
        QWidget* tile = rig.d->tiles().back();
        const QPoint from = tile->rect().center();
        QTest::mousePress(tile, Qt::LeftButton, {}, from);
        QTest::mouseRelease(tile, Qt::LeftButton, {}, from + QPoint(dx, 10));
    };
    swipe(-grid->width() / 10);
    QCOMPARE(rig.d->page(), 0);
    swipe(-grid->width() / 3);
    QCOMPARE(rig.d->page(), 1);
    swipe(grid->width() / 3);
    QCOMPARE(rig.d->page(), 0);
    QTest::keyClick(rig.d, Qt::Key_Escape);
    QVERIFY(!rig.d->isFullScreen());
    QVERIFY(rig.d->isVisible());
}

void TestDashboard::screenshots() {
    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("Set IGNIVEX_SCREENSHOT_DIR to save the pictures.");
    Rig rig(false);  // the default tiles
    rig.d->showNormal();
    rig.feed(5840, 13.62f, 0x04);
    auto save = [&](QSize size, const char* name) {
        rig.d->resize(size);
        QCoreApplication::processEvents();
        QVERIFY(rig.d->grab().save(dir + "/" + name));
    };
    save({800, 480}, "dashboard-800x480-day.png");
    rig.d->setRecording(true, 754);
    rig.d->setNight(true);
    save({800, 480}, "dashboard-800x480-night.png");
    rig.d->setNight(false);
    // The second page, its last tile showing a channel by formula.
    tiles::TileLayout l = rig.d->arrangement();
    QVERIFY(l.setChannel(1, 6, "krpm"));
    rig.d->setArrangement(l);
    rig.d->showPage(1);
    save({1920, 1080}, "dashboard-1920x1080.png");
    rig.d->showPage(0);
    rig.feed(7350, 11.2f, 0x04);
    rig.d->showAlarm(1, "rpm", "over-rev: rpm > 7200", true);
    rig.d->showAlarm(2, "battery_v", "battery low: battery_v < 11.5", true);
    save({1280, 720}, "dashboard-alarm.png");
}

QTEST_MAIN(TestDashboard)
#include "tst_dashboard.moc"
