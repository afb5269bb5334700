#include "recovery/CommError.h"
#include "support/FakeClock.h"
#include "support/FakeSerialControl.h"
#include "link/ModuleLink.h"
#include "link/Scaling.h"
#include "support/ScriptedBoxes.h"
#include "link/SerialErrors.h"

#include <QSignalSpy>
#include <QTimer>
#include "support/Bytes.h"

#include <QDir>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const QString kTimeout = QStringLiteral("RS-232 timeout. Check cable and click Abort.");

struct Rig {
    FakeClock clock;
    FakeSerialControl port{clock};
    ScriptedBoxes boxes;
    Module1 state;
    ModuleLink link{port, clock, boxes, state};
    QSignalSpy closeView{&link, &ModuleLink::linkAborted};
    Rig() {
        link.portNumber = 3;
        port.setInputLen(1);
        port.log.clear();
        state.mapRangeCode = 1;
    }
    // Runs the command by its name and returns its result as a number (0 for those without).
    double run(const QString& command) {
        if (command == "ReSync") {
            link.ReSync();
            return 0;
        }
        if (command == "ReadFirmwareID") {
            link.ReadFirmwareID();
            return 0;
        }
        if (command == "ReadStatus")
            return link.ReadStatus();
        if (command == "ReadRPM")
            return link.ReadRPM();
        if (command == "ReadAdvance")
            return link.ReadAdvance();
        if (command == "ReadMAP")
            return link.ReadMAP(state.mapRangeCode);
        if (command == "ReadBAT")
            return link.ReadBAT();
        if (command == "ReadGPI") {
            link.ReadGPI();
            return 0;
        }
        qFatal("unknown command");
    }
};

bool isChannelRead(const QString& command) {
    return command.startsWith("ReadRPM") || command == "ReadAdvance" || command == "ReadMAP" ||
           command == "ReadBAT" || command == "ReadGPI";
}
}  // namespace

class TestModuleLink : public QObject {
    Q_OBJECT
private slots:
    void goodReply_data();
    void goodReply();
    void timeout_data();
    void timeout();
    void retryOnTimeoutDoesNotResend_data();
    void retryOnTimeoutDoesNotResend();
    void ignoreOnTimeout_data();
    void ignoreOnTimeout();
    void shortTwoByteReplyTimesOut_data();
    void shortTwoByteReplyTimesOut();
    void lateByteStillCounts();
    void extraBytesAreDiscardedByTheNextCommand();
    void timeoutClosesAndNextCommandReopens();
    void openFailure_data();
    void openFailure();
    void resync_data();
    void resync();
    void firmwareId_data();
    void firmwareId();
    void firmwareIdLoopLetsEventsRun();
    void firmwareIdStreamWithoutEndTimesOut();
    void delayTimerLetsEventsRunFirst();
    void delayTimerOverflow();
    void rpmCountZero_data();
    void rpmCountZero();
    void mapWithoutSensorStillExchanges();
    void gpiFailureKeepsValues();
    void pauseRunsWithLinkReadyStillFalse();
};

// Each command with a good reply: what goes out, what comes back, and the port afterwards.
void TestModuleLink::goodReply_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("commandByte");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<double>("result");
    QTest::addColumn<bool>("portOpenAfter");

    QTest::newRow("ReSync") << "ReSync" << 0x33 << bytes({0x06}) << 0.0 << true;
    QTest::newRow("ReadFirmwareID")
        << "ReadFirmwareID" << 0x10 << QByteArray("IGX-2 V1.10\r") << 0.0 << false;
    QTest::newRow("ReadStatus 0xFE") << "ReadStatus" << 0x2F << bytes({0xFE}) << 254.0 << true;
    QTest::newRow("ReadRPM 4096") << "ReadRPM" << 0x20 << bytes({0x00, 0x10}) << 915.52734375
                                  << true;
    QTest::newRow("ReadAdvance 0x80")
        << "ReadAdvance" << 0x26 << bytes({0x80}) << double(22.49984f) << true;
    QTest::newRow("ReadMAP 0x80") << "ReadMAP" << 0x22 << bytes({0x80}) << 17.0 << true;
    QTest::newRow("ReadBAT 0xFF") << "ReadBAT" << 0x23 << bytes({0xFF}) << 18.0 << true;
    QTest::newRow("ReadGPI 0x1C 0xFF") << "ReadGPI" << 0x24 << bytes({0x1C, 0xFF}) << 0.0 << true;
}

void TestModuleLink::goodReply() {
    QFETCH(QString, command);
    QFETCH(int, commandByte);
    QFETCH(QByteArray, reply);
    QFETCH(double, result);
    QFETCH(bool, portOpenAfter);

    Rig rig;
    rig.port.setReply(quint8(commandByte), reply);
    const auto before = rig.clock.now();
    const float value = float(rig.run(command));
    QVERIFY2(value == float(result), qPrintable(QString::number(value, 'g', 9)));
    QVERIFY(rig.link.linkReady);
    QCOMPARE(rig.boxes.count(), 0);
    QCOMPARE(rig.port.written, bytes({commandByte}));  // exactly one byte, nothing added
    QCOMPARE(rig.port.portOpen(), portOpenAfter);
    QVERIFY(rig.clock.now() - before >= milliseconds(2));  // the pause ran
    const int discard = int(rig.port.log.indexOf("InBufferCount=0"));
    QCOMPARE(rig.port.log.mid(0, 2), QStringList({"CommPort=3", "PortOpen=true"}));
    QVERIFY(discard >= 0 &&
            discard < rig.port.log.indexOf(QStringLiteral("Output=%1").arg(commandByte)));
    if (command == "ReadFirmwareID")
        QCOMPARE(rig.state.firmwareId, QStringLiteral("IGX-2 V1.10"));
    if (command == "ReadGPI") {
        QCOMPARE(rig.state.gpiBits, std::int16_t(28));
        QCOMPARE(rig.state.gpi3Analog, 5.0f);
    }
    QCOMPARE(rig.closeView.count(), 0);
}

// No reply within the second, answered with Abort.
void TestModuleLink::timeout_data() {
    QTest::addColumn<QString>("command");
    for (const char* c : {"ReadFirmwareID", "ReadStatus", "ReadRPM", "ReadAdvance", "ReadMAP",
                          "ReadBAT", "ReadGPI"})
        QTest::newRow(c) << QString::fromLatin1(c);
}

void TestModuleLink::timeout() {
    QFETCH(QString, command);
    Rig rig;
    rig.state.gpiBits = 7;
    rig.boxes.onShow = [&](const ScriptedBoxes::Shown&) {
        QVERIFY(!rig.port.portOpen());  // the prompt always finds the link closed
    };
    const auto before = rig.clock.now();
    QCOMPARE(rig.run(command), 0.0);
    QVERIFY(rig.clock.now() - before >= std::chrono::seconds(1));
    QCOMPARE(rig.boxes.count(), 1);
    QCOMPARE(rig.boxes.shown[0].text, kTimeout);
    QCOMPARE(rig.boxes.shown[0].style, 18);
    QCOMPARE(rig.boxes.shown[0].title, QStringLiteral("Error"));
    QVERIFY(!rig.link.linkReady);
    QVERIFY(!rig.port.portOpen());
    QCOMPARE(rig.state.gpiBits, std::int16_t(7));
    QCOMPARE(rig.state.firmwareId, QString());
    // Abort in a channel read also closes the real-time view; elsewhere only the link.
    QCOMPARE(rig.closeView.count(), isChannelRead(command) ? 1 : 0);
}

void TestModuleLink::retryOnTimeoutDoesNotResend_data() {
    timeout_data();
}

void TestModuleLink::retryOnTimeoutDoesNotResend() {
    QFETCH(QString, command);
    Rig rig;
    rig.boxes.answer({box::Retry, box::Retry, box::Abort});
    rig.run(command);
    QCOMPARE(rig.boxes.texts(), QStringList({kTimeout, kTimeout, kTimeout}));
    QCOMPARE(rig.port.written.size(), 1);
    QCOMPARE(rig.port.opens, 1);
}

void TestModuleLink::ignoreOnTimeout_data() {
    timeout_data();
}

void TestModuleLink::ignoreOnTimeout() {
    QFETCH(QString, command);
    Rig rig;
    rig.state.gpiBits = 9;
    rig.state.gpi3Analog = 1.5f;
    rig.boxes.answer({box::Ignore});
    const auto before = rig.clock.now();
    QCOMPARE(rig.run(command), 0.0);
    QCOMPARE(rig.boxes.count(), 1);
    QVERIFY(!rig.link.linkReady);
    QVERIFY(!rig.port.portOpen());
    QCOMPARE(rig.state.gpiBits, std::int16_t(9));
    QCOMPARE(rig.state.gpi3Analog, 1.5f);
    QCOMPARE(rig.closeView.count(), 0);
    // Nothing after the time-out ran: no pause on top of the second.
    QVERIFY(rig.clock.now() - before < std::chrono::seconds(1) + milliseconds(2));
}

void TestModuleLink::shortTwoByteReplyTimesOut_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("commandByte");
    QTest::newRow("ReadRPM") << "ReadRPM" << 0x20;
    QTest::newRow("ReadGPI") << "ReadGPI" << 0x24;
}

void TestModuleLink::shortTwoByteReplyTimesOut() {
    QFETCH(QString, command);
    QFETCH(int, commandByte);
    Rig rig;
    rig.port.setReply(quint8(commandByte), bytes({0x1C}));
    rig.boxes.answer({box::Ignore});
    QCOMPARE(rig.run(command), 0.0);
    QCOMPARE(rig.boxes.texts(), QStringList{kTimeout});
    QCOMPARE(rig.state.gpiBits, std::int16_t(0));  // the single byte is not used
    QVERIFY(!rig.link.linkReady);
}

void TestModuleLink::lateByteStillCounts() {
    Rig rig;
    rig.port.setLateReply(ModuleLink::kBattery, bytes({0xFF}));
    QCOMPARE(rig.link.ReadBAT(), 18.0f);
    QVERIFY(rig.link.linkReady);
    QCOMPARE(rig.boxes.count(), 0);
}

void TestModuleLink::extraBytesAreDiscardedByTheNextCommand() {
    Rig rig;
    rig.port.setReply(ModuleLink::kBattery, bytes({0x80, 0x11, 0x22, 0x33}));
    rig.port.setReply(ModuleLink::kMap, bytes({0xF6}));
    QCOMPARE(rig.link.ReadBAT(), scaling::battery(0x80));
    QCOMPARE(rig.port.pending(), bytes({0x11, 0x22, 0x33}));  // left unread
    QCOMPARE(rig.link.ReadMAP(1), 30.0f);
    QVERIFY(rig.link.linkReady);
    QVERIFY(rig.port.pending().isEmpty());
}

void TestModuleLink::timeoutClosesAndNextCommandReopens() {
    Rig rig;
    rig.link.ReadStatus();  // no reply: closed, then aborted
    QVERIFY(!rig.port.portOpen());
    rig.link.portNumber = 12;
    rig.port.setReply(ModuleLink::kStatus, bytes({0x05}));
    QCOMPARE(rig.link.ReadStatus(), std::int16_t(5));
    QCOMPARE(rig.port.opens, 2);
    QVERIFY(rig.port.log.contains("CommPort=12"));
    QVERIFY(rig.port.portOpen());
}

// The port cannot be opened: the layer's own description, and what each answer does.
void TestModuleLink::openFailure_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("prompts");
    QTest::addColumn<bool>("linkReady");
    QTest::addColumn<int>("opens");
    QTest::newRow("abort") << QList<int>{box::Abort} << 1 << false << 0;
    QTest::newRow("retry after the cable is mended") << QList<int>{box::Retry} << 1 << true << 1;
    // Ignore goes on on a closed port: discarding, sending and counting are refused in turn,
    // then the time-out.
    QTest::newRow("ignore everything")
        << QList<int>{box::Ignore, box::Ignore, box::Ignore, box::Ignore, box::Ignore} << 5 << false
        << 0;
}

void TestModuleLink::openFailure() {
    QFETCH(QList<int>, answers);
    QFETCH(int, prompts);
    QFETCH(bool, linkReady);
    QFETCH(int, opens);
    Rig rig;
    const CommError missing = serial::noSuchDevice(3, "/dev/ttyS2", "/cfg/Ignivex_Log/ports");
    rig.port.openError = missing;
    rig.port.setReply(ModuleLink::kBattery, bytes({0x80}));
    for (int a : answers)
        rig.boxes.answer({a});
    rig.boxes.onShow = [&](const ScriptedBoxes::Shown&) {
        if (answers.first() == box::Retry)
            rig.port.openError.reset();
    };
    rig.link.ReadBAT();
    QCOMPARE(rig.boxes.count(), prompts);
    QCOMPARE(rig.boxes.shown[0].text, missing.description());
    QVERIFY(rig.boxes.shown[0].text.contains(
        QDir::toNativeSeparators("Com3 (/dev/ttyS2) does not exist")));
    QCOMPARE(rig.link.linkReady, linkReady);
    QCOMPARE(rig.port.opens, opens);
    if (prompts > 1) {
        QVERIFY(rig.boxes.shown[1].text.contains("is not open"));
        QCOMPARE(rig.boxes.shown.last().text, kTimeout);
    }
}

void TestModuleLink::resync_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("linkReady");
    QTest::newRow("acknowledge") << bytes({0x06}) << true;
    QTest::newRow("NAK 0x15") << bytes({0x15}) << false;
    QTest::newRow("no answer") << QByteArray() << false;
    QTest::newRow("acknowledge and more") << bytes({0x06, 0x06}) << true;
}

void TestModuleLink::resync() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, linkReady);
    Rig rig;
    rig.port.setReply(ModuleLink::kSync, reply);
    rig.link.ReSync();
    QCOMPARE(rig.link.linkReady, linkReady);
    QCOMPARE(rig.boxes.count(), 0);  // never a message, not even for silence
    QVERIFY(rig.port.portOpen());
    QCOMPARE(rig.closeView.count(), 0);
}

void TestModuleLink::firmwareId_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("linkReady");
    QTest::addColumn<int>("prompts");
    QTest::newRow("text and CR") << QByteArray("IGX-2 V1.10\r") << "IGX-2 V1.10" << true << 0;
    QTest::newRow("CR only") << QByteArray("\r") << "" << true << 0;
    QTest::newRow("text after CR is left") << QByteArray("A\rB") << "A" << true << 0;
    QTest::newRow("no CR") << QByteArray("IGX-2") << "" << false << 1;
    QTest::newRow("bytes above 127")
        << QByteArray("\xC4\xFF\r") << QString::fromLatin1("\xC4\xFF") << true << 0;
    QTest::newRow("over-long line is cut")
        << QByteArray(5000, 'x') + "\r" << QString(4096, 'x') << true << 0;
}

void TestModuleLink::firmwareId() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, id);
    QFETCH(bool, linkReady);
    QFETCH(int, prompts);
    Rig rig;
    rig.state.firmwareId = "old";
    rig.port.setReply(ModuleLink::kIdentify, reply);
    rig.boxes.answer({box::Ignore});
    rig.link.ReadFirmwareID();
    QCOMPARE(rig.state.firmwareId, id);
    QCOMPARE(rig.link.linkReady, linkReady);
    QCOMPARE(rig.boxes.count(), prompts);
    QVERIFY(!rig.port.portOpen());
}

void TestModuleLink::firmwareIdLoopLetsEventsRun() {
    Rig rig;
    rig.port.setReply(ModuleLink::kIdentify, QByteArray("IGX\r"));
    QString seenDuringLoop = "not run";
    bool readySeen = true;
    rig.port.onOutput = [&](quint8) {
        QTimer::singleShot(0, [&] {
            seenDuringLoop = rig.state.firmwareId;
            readySeen = rig.link.linkReady;
        });
    };
    rig.link.ReadFirmwareID();
    QCOMPARE(seenDuringLoop, QString());  // ran inside the loop, before the text was set
    QVERIFY(!readySeen);
    QCOMPARE(rig.state.firmwareId, QStringLiteral("IGX"));
}

void TestModuleLink::firmwareIdStreamWithoutEndTimesOut() {
    Rig rig;
    // A module that keeps talking and never ends the line: a character in every slice.
    rig.port.setReply(ModuleLink::kIdentify, QByteArray(3, 'z'));
    int passes = 0;
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        ++passes;
        rig.clock.advance(milliseconds(1));  // characters take time to come
        if (rig.port.portOpen())
            rig.port.arrive(QByteArray(2, 'z'));
    });
    feeder.start(0);
    rig.boxes.answer({box::Abort});
    rig.link.ReadFirmwareID();
    feeder.stop();
    QVERIFY(passes > 0);
    QCOMPARE(rig.boxes.texts(), QStringList{kTimeout});
    QCOMPARE(rig.state.firmwareId, QString());
    QVERIFY(!rig.port.portOpen());
}

void TestModuleLink::delayTimerLetsEventsRunFirst() {
    Rig rig;
    bool ran = false;
    auto askedAt = rig.clock.now();
    QTimer::singleShot(0, [&] {
        ran = true;
        askedAt = rig.clock.now();
    });
    const auto start = rig.clock.now();
    rig.link.DelayTimer(2);
    QVERIFY(ran);
    QCOMPARE(askedAt, start);  // before the clock moved at all
    QVERIFY(rig.clock.now() - start >= milliseconds(2));
}

void TestModuleLink::delayTimerOverflow() {
    Rig rig;
    try {
        rig.link.DelayTimer(2147484);
        QFAIL("no overflow");
    } catch (const CommError& error) {
        QCOMPARE(error.number(), kErrOverflow);
    }
    rig.link.DelayTimer(2147483);  // the largest period that fits
}

void TestModuleLink::rpmCountZero_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("prompts");
    QTest::addColumn<bool>("linkReady");
    QTest::addColumn<int>("closeView");
    QTest::newRow("ignore") << QList<int>{box::Ignore} << 1 << true << 0;
    QTest::newRow("retry divides again") << QList<int>{box::Retry, box::Ignore} << 2 << true << 0;
    QTest::newRow("abort") << QList<int>{box::Abort} << 1 << false << 1;
}

void TestModuleLink::rpmCountZero() {
    QFETCH(QList<int>, answers);
    QFETCH(int, prompts);
    QFETCH(bool, linkReady);
    QFETCH(int, closeView);
    Rig rig;
    rig.port.setReply(ModuleLink::kRpm, bytes({0x00, 0x00}));
    for (int a : answers)
        rig.boxes.answer({a});
    QCOMPARE(rig.link.ReadRPM(), 0.0f);
    QCOMPARE(rig.boxes.count(), prompts);
    QVERIFY(rig.boxes.shown[0].text.startsWith("Division by zero"));
    QCOMPARE(rig.link.linkReady, linkReady);
    QCOMPARE(rig.closeView.count(), closeView);
    QCOMPARE(rig.port.written.size(), 1);
}

void TestModuleLink::mapWithoutSensorStillExchanges() {
    Rig rig;
    rig.port.setReply(ModuleLink::kMap, bytes({0xFF}));
    QCOMPARE(rig.link.ReadMAP(0), 0.0f);
    QCOMPARE(rig.port.written, bytes({0x22}));
    QVERIFY(rig.link.linkReady);
}

void TestModuleLink::gpiFailureKeepsValues() {
    Rig rig;
    rig.port.setReply(ModuleLink::kGpi, bytes({0x00, 0x80}));
    rig.link.ReadGPI();
    QCOMPARE(rig.state.gpiBits, std::int16_t(0));
    QCOMPARE(rig.state.gpi3Analog, scaling::gpi3(0x80));
    rig.port.setReply(ModuleLink::kGpi, bytes({0x04}));
    rig.boxes.answer({box::Abort});
    rig.link.ReadGPI();
    QCOMPARE(rig.state.gpiBits, std::int16_t(0));
    QCOMPARE(rig.state.gpi3Analog, scaling::gpi3(0x80));
}

void TestModuleLink::pauseRunsWithLinkReadyStillFalse() {
    Rig rig;
    rig.port.setReply(ModuleLink::kBattery, bytes({0x10}));
    bool readyDuringPause = true;
    bool runningDuringPause = false;
    rig.port.onOutput = [&](quint8) {
        QTimer::singleShot(0, [&] {
            readyDuringPause = rig.link.linkReady;
            runningDuringPause = rig.link.exchangeRunning();
        });
    };
    rig.link.ReadBAT();
    QVERIFY(!readyDuringPause);
    QVERIFY(runningDuringPause);
    QVERIFY(rig.link.linkReady);
    QVERIFY(!rig.link.exchangeRunning());
}

QTEST_MAIN(TestModuleLink)
#include "tst_module_link.moc"
