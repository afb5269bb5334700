#include "support/MainHarness.h"
#include "acquire/Acquisition.h"
#include "display/PortSetupPanel.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "link/Scaling.h"

#include <QAction>
#include <QKeyEvent>
#include <QTimer>
#include "support/Bytes.h"

#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const QString kTimeout = QStringLiteral("RS-232 timeout. Check cable and click Abort.");
const QString kNoLink =
    QStringLiteral("Cannot establish RS-232 link. Check cable and module power.");
const QString kBadId =
    QStringLiteral("Error - invalid firmware ID. Unable to identify Ignivex version.\r\n");
const QString kNoStatus = QStringLiteral("Error - cannot read status.\r\n");

// The main window with a healthy module behind the fake port, loaded, timer stopped so that
// each test drives the ticks itself.
struct Live : MainHarness {
    IsolatedConfig config;
    QStringList samples;  // each tick's Sample: the values it holds and how the tick ended
    Live() {
        QObject::connect(&w().acquisition(), &Acquisition::sampleReady, [this](const Sample& s) {
            const char* ends[] = {"complete", "esc", "link-lost", "aborted"};
            samples << QStringLiteral("%1%2%3%4%5| %6")
                           .arg(s.gpiBits && s.gpi3Analog ? "gpi " : "", s.map ? "map " : "",
                                s.battery ? "bat " : "", s.rpm ? "rpm " : "",
                                s.advance ? "adv " : "", ends[int(s.end)]);
        });
        showWithHealthyModule();
    }
    RealTimePanel& panel() { return *w().fraRealTimeData(); }
    void open() { w().mnuViewRealTime_Click(); }
    void tick() { w().acquisition().tmrDataRead_Timer(); }
    // Bytes written since the mark.
    QByteArray sinceMark() const { return port.written.mid(mark_); }
    void mark() { mark_ = int(port.written.size()); }
    bool lampsAre(const QColor& a, const QColor& b, const QColor& c) {
        return panel().shpLED_GPI1->fillColor() == a && panel().shpLED_GPI2->fillColor() == b &&
               panel().shpLED_GPI3->fillColor() == c;
    }
    void pressEsc() {
        QCoreApplication::postEvent(panel().cmdCloseRealTimeData,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier,
                                                  QStringLiteral("\x1b")));
    }

private:
    int mark_ = 0;
};

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
}  // namespace

class TestRealTimeView : public QObject {
    Q_OBJECT
private slots:
    void healthyOpening();
    void moduleUnplugged();
    void syncOnTheThirdTry();
    void invalidFirmwareId_data();
    void invalidFirmwareId();
    void mapLayoutByStatus_data();
    void mapLayoutByStatus();
    void closeTwice();
    void fullTickOrderAndValues();
    void tickWithoutMapSensor();
    void lamps_data();
    void lamps();
    void tachometerCaption_data();
    void tachometerCaption();
    void escDuringBatteryRead();
    void closeDuringFirstLetRun();
    void abortInTheLastRead();
    void linkLostAfterAbort();
    void reentrantTickDoesNothing();
    void tickDuringOpeningDoesNothing();
    void reopeningWhileOpen();
    void openingAskedForDuringAnExchangeWaits();
    void closedViewTickOnlyClearsEscape();
    void portPickDuringLiveViewReopensAtNextRead();
    void closingTheWindowDuringALiveView();
};

void TestRealTimeView::healthyOpening() {
    Live h;
    h.open();
    QCOMPARE(h.boxes.count(), 0);
    QCOMPARE(h.port.written, bytes({0x33, 0x10, 0x2F}));
    QCOMPARE(h.state.firmwareId, QStringLiteral("IGX-2 V1.10"));
    QCOMPARE(h.state.mapRangeCode, std::int16_t(1));
    QVERIFY(h.panel().isVisible());
    QVERIFY(h.state.viewActive);
    QVERIFY(h.port.portOpen());  // reopened by the status read, kept for polling
    QCOMPARE(h.port.opens, 2);
    QCOMPARE(h.panel().gauTach->warningStart(), 7.0);
    QCOMPARE(h.panel().gauTach->redlineStart(), 7.5);
    QCOMPARE(h.panel().gauTach->scaleMaximum(), 10);
}

void TestRealTimeView::moduleUnplugged() {
    Live h;
    for (quint8 c : {0x33, 0x10, 0x2F, 0x24, 0x22, 0x23, 0x20, 0x26})
        h.port.clearReply(c);
    h.state.commErrorCount = 2;
    h.open();  // the scripted boxes answer Abort to every prompt
    QCOMPARE(h.port.written, bytes({0x33, 0x33, 0x33, 0x33, 0x33, 0x2F}));
    QCOMPARE(h.boxes.texts(), QStringList({kNoLink, kTimeout, kNoStatus}));
    QCOMPARE(h.boxes.shown[0].style, 48);
    QCOMPARE(h.boxes.shown[0].title, QStringLiteral("View Real Time Data"));
    QCOMPARE(h.boxes.shown[2].style, 48);
    QCOMPARE(h.boxes.shown[2].title, QStringLiteral("View Real Time Data"));
    QCOMPARE(h.state.mapRangeCode, std::int16_t(0));
    QVERIFY(h.panel().gauMAP->isHidden());
    QVERIFY(h.panel().isVisible());
    QVERIFY(h.state.viewActive);
    QCOMPARE(h.state.commErrorCount, std::int16_t(0));

    // The first tick fails its input read and closes the view again.
    h.tick();
    QCOMPARE(h.boxes.texts().mid(3), QStringList({kTimeout}));
    QVERIFY(!h.state.viewActive);
    QVERIFY(!h.panel().isVisible());
    QVERIFY(!h.port.portOpen());
    QCOMPARE(h.panel().gauTach->caption(), QStringLiteral("0"));
    QVERIFY(h.lampsAre(kRed, kRed, kRed));
    // Later ticks do nothing.
    h.mark();
    h.tick();
    QVERIFY(h.sinceMark().isEmpty());
}

void TestRealTimeView::syncOnTheThirdTry() {
    Live h;
    h.port.queueReply(0x33, QByteArray());
    h.port.queueReply(0x33, bytes({0x15}));
    h.open();
    QCOMPARE(h.port.written, bytes({0x33, 0x33, 0x33, 0x10, 0x2F}));
    QCOMPARE(h.boxes.count(), 0);
}

void TestRealTimeView::invalidFirmwareId_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("carriage return only") << QByteArray("\r") << QStringList{kBadId};
    QTest::newRow("no carriage return, aborted")
        << QByteArray("IGX") << QStringList{kTimeout, kBadId};
}

void TestRealTimeView::invalidFirmwareId() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, texts);
    Live h;
    h.port.setReply(0x10, reply);
    h.open();
    QCOMPARE(h.boxes.texts(), texts);
    QVERIFY(h.state.viewActive);  // the message does not stop the opening
    QCOMPARE(h.port.written.right(1), bytes({0x2F}));
}

// The status byte picks the layout (the layout itself is the gauge tests' business).
void TestRealTimeView::mapLayoutByStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("scaleMax");  // 0: hidden
    QTest::newRow("0x05: 0..30 by 5") << 0x05 << 1 << 31.0;
    QTest::newRow("0x02: 0..60 by 10") << 0x02 << 2 << 61.0;
    QTest::newRow("0xFE: range 2") << 0xFE << 2 << 61.0;
    QTest::newRow("0x03: range 3 keeps the 0..60 scale") << 0x03 << 3 << 61.0;
    QTest::newRow("0xFC: no sensor") << 0xFC << 0 << 0.0;
    QTest::newRow("0x04: no sensor") << 0x04 << 0 << 0.0;
}

void TestRealTimeView::mapLayoutByStatus() {
    QFETCH(int, status);
    QFETCH(int, code);
    QFETCH(double, scaleMax);
    Live h;
    h.port.setReply(0x2F, bytes({status}));
    h.open();
    QCOMPARE(h.state.mapRangeCode, std::int16_t(code));
    QCOMPARE(h.panel().gauMAP->isVisible(), scaleMax > 0);
    if (scaleMax > 0)
        QCOMPARE(h.panel().gauMAP->scaleMaximum(), scaleMax);
}

void TestRealTimeView::closeTwice() {
    Live h;
    h.open();
    QVERIFY(h.port.portOpen());
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(h.panel().cmdCloseRealTimeData, Qt::LeftButton);
        QVERIFY(!h.panel().isVisible());
        QVERIFY(!h.port.portOpen());
        QVERIFY(!h.state.viewActive);
    }
    QCOMPARE(h.boxes.count(), 0);
    h.mark();
    h.tick();
    QVERIFY(h.sinceMark().isEmpty());  // polling stops at once
}

void TestRealTimeView::fullTickOrderAndValues() {
    Live h;
    h.open();
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24, 0x22, 0x23, 0x20, 0x26}));
    QCOMPARE(h.boxes.count(), 0);
    RealTimePanel& p = h.panel();
    QCOMPARE(p.gauMAP->pointerValue(), double(scaling::map(0x80, 1)));
    QCOMPARE(p.gauBatVolts->pointerValue(), double(scaling::battery(0xC4)));
    QCOMPARE(p.gauGPI3A->pointerValue(), double(scaling::gpi3(0x80)));
    QCOMPARE(p.gauTach->value(), double(915.52734375f / 1000.0f));
    QCOMPARE(p.gauTach->caption(), QStringLiteral("916"));
    QCOMPARE(p.gauTach->needleWidth(), 3);
    QCOMPARE(p.gauAdv->pointerValue(), double(scaling::advance(0x80)));
    QVERIFY(h.lampsAre(kBlack, kBlack, kBlack));
    QVERIFY(h.state.viewActive);
    QCOMPARE(h.samples, QStringList{"gpi map bat rpm adv | complete"});
}

void TestRealTimeView::tickWithoutMapSensor() {
    Live h;
    h.port.setReply(0x2F, bytes({0xFC}));
    h.open();
    h.panel().gauMAP->setPointerValue(12.5);
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24, 0x23, 0x20, 0x26}));
    QCOMPARE(h.panel().gauMAP->pointerValue(), 12.5);
    QVERIFY(h.panel().gauMAP->isHidden());
    QCOMPARE(h.samples, QStringList{"gpi bat rpm adv | complete"});
}

void TestRealTimeView::lamps_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<QColor>("gpi1");
    QTest::addColumn<QColor>("gpi2");
    QTest::addColumn<QColor>("gpi3");
    QTest::newRow("0x1C all set") << 0x1C << kBlack << kBlack << kBlack;
    QTest::newRow("0x00 none set") << 0x00 << kRed << kRed << kRed;
    QTest::newRow("0x04 GPI1") << 0x04 << kBlack << kRed << kRed;
    QTest::newRow("0x08 GPI2") << 0x08 << kRed << kBlack << kRed;
    QTest::newRow("0x10 GPI3") << 0x10 << kRed << kRed << kBlack;
    QTest::newRow("0xE3 other bits only") << 0xE3 << kRed << kRed << kRed;
}

void TestRealTimeView::lamps() {
    QFETCH(int, bits);
    QFETCH(QColor, gpi1);
    QFETCH(QColor, gpi2);
    QFETCH(QColor, gpi3);
    Live h;
    QVERIFY(h.lampsAre(kGreen, kGreen, kGreen));  // before the first reading
    h.port.setReply(0x24, bytes({bits, 0x00}));
    h.open();
    h.tick();
    QVERIFY(h.lampsAre(gpi1, gpi2, gpi3));
}

void TestRealTimeView::tachometerCaption_data() {
    QTest::addColumn<float>("rpm");
    QTest::addColumn<QString>("caption");
    QTest::newRow("915.52734") << 915.52734f << "916";
    QTest::newRow("0") << 0.0f << "0";
    QTest::newRow("3750000") << 3750000.0f << "3750000";
    QTest::newRow("half rounds away from zero") << 1000.5f << "1001";
    QTest::newRow("just under a half") << 57.4f << "57";
    QTest::newRow("57.2222") << 57.2222f << "57";
}

void TestRealTimeView::tachometerCaption() {
    QFETCH(float, rpm);
    QFETCH(QString, caption);
    QCOMPARE(RealTimePanel::formatRpm(rpm), caption);
}

void TestRealTimeView::escDuringBatteryRead() {
    Live h;
    h.open();
    h.panel().gauTach->setCaption("old");
    h.port.onOutput = [&](quint8 c) {
        if (c == 0x23)
            h.pressEsc();  // reaches the window in the battery read's pause
    };
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24, 0x22, 0x23}));
    QCOMPARE(h.panel().gauBatVolts->pointerValue(), double(scaling::battery(0xC4)));
    QCOMPARE(h.panel().gauGPI3A->pointerValue(), double(scaling::gpi3(0x80)));
    QCOMPARE(h.panel().gauTach->caption(), QStringLiteral("old"));
    QVERIFY(h.state.viewActive);
    QCOMPARE(h.samples, QStringList{"gpi map bat | esc"});
    // The next tick clears Esc and polls in full.
    h.port.onOutput = nullptr;
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24, 0x22, 0x23, 0x20, 0x26}));
}

void TestRealTimeView::closeDuringFirstLetRun() {
    Live h;
    h.open();
    h.port.onOutput = [&](quint8 c) {
        if (c == 0x24)
            QTimer::singleShot(0, h.panel().cmdCloseRealTimeData, &QPushButton::click);
    };
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24}));
    QVERIFY(!h.panel().isVisible());
    QVERIFY(!h.port.portOpen());
    QVERIFY(!h.state.viewActive);
    QCOMPARE(h.samples, QStringList{"gpi | aborted"});
}

// Abort in the last read of a tick closes the view: the tick did not end complete.
void TestRealTimeView::abortInTheLastRead() {
    Live h;
    h.open();
    h.port.clearReply(0x26);
    h.tick();
    QVERIFY(!h.state.viewActive);
    QCOMPARE(h.samples, QStringList{"gpi map bat rpm | aborted"});
}

void TestRealTimeView::linkLostAfterAbort() {
    Live h;
    h.open();
    h.tick();
    QVERIFY(h.lampsAre(kBlack, kBlack, kBlack));
    h.port.clearReply(0x24);  // module switched off
    int closes = 0;
    connect(&h.w().link(), &ModuleLink::linkAborted, [&] { ++closes; });
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24}));
    QCOMPARE(h.boxes.texts(), QStringList({kTimeout}));
    QCOMPARE(closes, 1);
    RealTimePanel& p = h.panel();
    QCOMPARE(p.gauMAP->pointerValue(), 0.0);
    QCOMPARE(p.gauBatVolts->pointerValue(), 0.0);
    QCOMPARE(p.gauGPI3A->pointerValue(), 0.0);
    QCOMPARE(p.gauTach->value(), 0.0);
    QCOMPARE(p.gauTach->caption(), QStringLiteral("0"));
    QVERIFY(h.lampsAre(kRed, kRed, kRed));
    QVERIFY(!p.isVisible());
    QVERIFY(!h.state.viewActive);
    QVERIFY(!h.port.portOpen());
    QCOMPARE(h.samples.last(), QStringLiteral("| link-lost"));
}

void TestRealTimeView::reentrantTickDoesNothing() {
    Live h;
    h.open();
    h.port.onOutput = [&](quint8 c) {
        if (c == 0x22 || c == 0x20)
            QTimer::singleShot(0, [&] { h.tick(); });  // a timer tick inside the pause
    };
    h.mark();
    h.tick();
    QCOMPARE(h.sinceMark(), bytes({0x24, 0x22, 0x23, 0x20, 0x26}));
    QVERIFY(!h.w().acquisition().ticking());
}

void TestRealTimeView::tickDuringOpeningDoesNothing() {
    Live h;
    h.open();  // the view is active: a tick inside the next opening would poll
    h.port.onOutput = [&](quint8 c) {
        if (c == 0x33 || c == 0x10)
            QTimer::singleShot(0, [&] { h.tick(); });
    };
    h.mark();
    h.open();
    QCOMPARE(h.sinceMark(), bytes({0x33, 0x10, 0x2F}));
}

void TestRealTimeView::reopeningWhileOpen() {
    Live h;
    h.open();
    h.tick();
    h.state.commErrorCount = 5;
    h.port.setReply(0x2F, bytes({0x03}));
    h.mark();
    h.open();
    QCOMPARE(h.sinceMark(), bytes({0x33, 0x10, 0x2F}));
    QCOMPARE(h.state.mapRangeCode, std::int16_t(3));
    QCOMPARE(h.panel().gauMAP->labelEnd(), 60.0);
    QCOMPARE(h.state.commErrorCount, std::int16_t(0));
    QVERIFY(h.state.viewActive);
    // The old values stay until the next tick.
    QCOMPARE(h.panel().gauTach->caption(), QStringLiteral("916"));
}

void TestRealTimeView::openingAskedForDuringAnExchangeWaits() {
    Live h;
    // A module slow with its identification: the menu is chosen while its line comes in.
    bool chosen = false;
    h.port.onOutput = [&](quint8 c) {
        if (c == 0x10 && !chosen) {
            chosen = true;
            QTimer::singleShot(0, h.w().findChild<QAction*>("mnuViewRealTime"), &QAction::trigger);
        }
    };
    h.open();
    QCOMPARE(h.port.written, bytes({0x33, 0x10, 0x2F}));  // nothing crossed the first opening
    QCOMPARE(h.state.firmwareId, QStringLiteral("IGX-2 V1.10"));
    // The second opening runs once the first is done.
    QTRY_COMPARE(h.port.written, bytes({0x33, 0x10, 0x2F, 0x33, 0x10, 0x2F}));
    QCOMPARE(h.boxes.count(), 0);
    QVERIFY(h.state.viewActive);
}

void TestRealTimeView::closedViewTickOnlyClearsEscape() {
    Live h;
    h.state.escape = true;
    h.tick();
    QVERIFY(!h.state.escape);
    QVERIFY(h.port.written.isEmpty());
    QCOMPARE(h.port.opens, 0);
}

void TestRealTimeView::portPickDuringLiveViewReopensAtNextRead() {
    Live h;
    h.open();
    PortList* list = h.w().fraPortSelect()->cboPort;
    list->setCurrentIndex(6);
    emit list->activated(6);
    QVERIFY(!h.port.portOpen());
    h.tick();
    QVERIFY(h.port.log.contains("CommPort=7"));
    QVERIFY(h.port.portOpen());
    QCOMPARE(h.boxes.count(), 0);
}

void TestRealTimeView::closingTheWindowDuringALiveView() {
    Live h;
    h.open();
    h.port.onOutput = [&](quint8 c) {
        if (c == 0x23)
            QTimer::singleShot(0, &h.w(), &QWidget::close);
    };
    h.tick();
    QCOMPARE(h.ended, 1);
    QVERIFY(!h.portOpenAtEnd);
}

QTEST_MAIN(TestRealTimeView)
#include "tst_realtime_view.moc"
