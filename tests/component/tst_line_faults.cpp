#include "link/CommEventHandler.h"
#include "support/FakeClock.h"
#include "support/FakeSerialControl.h"
#include "support/ScriptedBoxes.h"

#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {
struct Rig {
    FakeClock clock;
    FakeSerialControl port{clock};
    ScriptedBoxes boxes;
    Module1 state;
    CommEventHandler handler{port, boxes, state};
    Rig() { port.setPortOpen(true); }
};
}  // namespace

class TestLineFaults : public QObject {
    Q_OBJECT
private slots:
    void fault_data();
    void fault();
    void thirdReportedFaultClosesBeforeTheBox_data();
    void thirdReportedFaultClosesBeforeTheBox();
    void countIsHeldAtItsTop();
    void oneBoxAtATime_data();
    void oneBoxAtATime();
};

// One event, the view open or closed, the user's answer: what the user sees and what becomes of
// the port, its waiting input and the count.
void TestLineFaults::fault_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("viewActive");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("text");  // empty: no box
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("inputKept");
    QTest::addColumn<int>("count");

    const int retry = box::Retry, cancel = box::Cancel;
    QTest::newRow("framing, closed view, retry")
        << 1004 << false << retry << "Framing Error" << true << false << 1;
    QTest::newRow("framing, closed view, cancel")
        << 1004 << false << cancel << "Framing Error" << false << false << 1;
    QTest::newRow("framing, open view") << 1004 << true << retry << "" << true << true << 0;
    QTest::newRow("overrun, closed view, retry")
        << 1006 << false << retry << "Port Hardware Overrun" << true << false << 1;
    QTest::newRow("overrun, open view") << 1006 << true << retry << "" << false << false << 0;
    QTest::newRow("rx overflow, closed view, retry")
        << 1008 << false << retry << "Receive Buffer Overflow" << true << false << 1;
    QTest::newRow("rx overflow, open view") << 1008 << true << retry << "" << false << false << 0;
    QTest::newRow("parity, closed view, cancel")
        << 1009 << false << cancel << "Parity Error" << false << false << 1;
    QTest::newRow("parity, open view") << 1009 << true << retry << "" << true << true << 0;
    QTest::newRow("DCB, closed view, retry")
        << 1011 << false << retry << "Device Control Block Error" << true << false << 1;
    QTest::newRow("DCB, open view, retry")
        << 1011 << true << retry << "Device Control Block Error" << true << false << 1;
    QTest::newRow("DCB, open view, cancel")
        << 1011 << true << cancel << "Device Control Block Error" << false << false << 1;
    QTest::newRow("receive event") << 2 << false << retry << "" << true << true << 0;
    QTest::newRow("break (not acted on)") << 1001 << false << retry << "" << true << true << 0;
    QTest::newRow("unknown code") << 9999 << true << retry << "" << true << true << 0;
}

void TestLineFaults::fault() {
    QFETCH(int, code);
    QFETCH(bool, viewActive);
    QFETCH(int, answer);
    QFETCH(QString, text);
    QFETCH(bool, portOpen);
    QFETCH(bool, inputKept);
    QFETCH(int, count);

    Rig rig;
    rig.state.viewActive = viewActive;
    rig.port.arrive("xyz");
    rig.boxes.answer({answer});
    rig.port.raiseEvent(code);

    if (text.isEmpty()) {
        QCOMPARE(rig.boxes.count(), 0);
    } else {
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.shown[0].text, text);
        QCOMPARE(rig.boxes.shown[0].style, 21);
        QCOMPARE(rig.boxes.shown[0].title, QStringLiteral("Communications Error"));
    }
    QCOMPARE(rig.port.portOpen(), portOpen);
    QCOMPARE(rig.port.pending().isEmpty(), !inputKept);
    QCOMPARE(rig.state.commErrorCount, std::int16_t(count));
}

void TestLineFaults::thirdReportedFaultClosesBeforeTheBox_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("retry leaves it closed") << int(box::Retry);
    QTest::newRow("cancel") << int(box::Cancel);
}

void TestLineFaults::thirdReportedFaultClosesBeforeTheBox() {
    QFETCH(int, answer);
    Rig rig;
    QList<bool> openWhenShown;
    rig.boxes.onShow = [&](const ScriptedBoxes::Shown&) { openWhenShown << rig.port.portOpen(); };
    rig.boxes.answer({box::Retry, box::Retry, answer});
    rig.port.raiseEvent(1004);
    rig.port.raiseEvent(1009);
    // Silent faults during a live view do not count.
    rig.state.viewActive = true;
    rig.port.raiseEvent(1004);
    rig.state.viewActive = false;
    QCOMPARE(rig.state.commErrorCount, std::int16_t(2));
    rig.port.raiseEvent(1004);
    QCOMPARE(openWhenShown, QList<bool>({true, true, false}));
    QCOMPARE(rig.state.commErrorCount, std::int16_t(3));
    QVERIFY(!rig.port.portOpen());
    QCOMPARE(rig.boxes.count(), 3);
}

void TestLineFaults::countIsHeldAtItsTop() {
    Rig rig;
    rig.state.commErrorCount = 32766;
    rig.port.raiseEvent(1004);
    rig.port.raiseEvent(1004);
    QCOMPARE(rig.state.commErrorCount, std::int16_t(32767));
    QVERIFY(!rig.port.portOpen());  // still past the third: the port stays closed
}

// Faults that come while a report is open (a device streaming bytes without end) are counted,
// the third closes the port, but no second box is stacked on the first.
void TestLineFaults::oneBoxAtATime_data() {
    QTest::addColumn<QList<int>>("whileOpen");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("one more") << QList<int>{1008} << 2 << true;
    QTest::newRow("two more: the third closes the port") << QList<int>{1008, 1004} << 3 << false;
    QTest::newRow("silent codes stay silent") << QList<int>{2, 9999} << 1 << true;
}

void TestLineFaults::oneBoxAtATime() {
    QFETCH(QList<int>, whileOpen);
    QFETCH(int, count);
    QFETCH(bool, portOpen);
    Rig rig;
    int open = 0;
    int deepest = 0;
    rig.boxes.onShow = [&](const ScriptedBoxes::Shown&) {
        deepest = std::max(deepest, ++open);
        for (int code : whileOpen)
            rig.port.raiseEvent(code);
        --open;
    };
    rig.boxes.answer({box::Retry});
    rig.port.raiseEvent(1008);
    QCOMPARE(deepest, 1);
    QCOMPARE(rig.boxes.count(), 1);
    QCOMPARE(rig.state.commErrorCount, std::int16_t(count));
    QCOMPARE(rig.port.portOpen(), portOpen);
    // Once it is answered, the next fault has its box again.
    rig.boxes.onShow = nullptr;
    rig.port.raiseEvent(1004);
    QCOMPARE(rig.boxes.count(), 2);
}

QTEST_MAIN(TestLineFaults)
#include "tst_line_faults.moc"
