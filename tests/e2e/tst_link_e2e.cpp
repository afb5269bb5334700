// The module commands over the real serial layer, against the simulator on a pseudo-terminal.
#include "support/Pty.h"
#include "link/Scaling.h"
#include "support/SimRigs.h"

#include <QElapsedTimer>
#include <QtTest>
#include <thread>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const QString kTimeout = QStringLiteral("RS-232 timeout. Check cable and click Abort.");
constexpr int kPort = 6;

struct Rig : LinkRig {
    explicit Rig(const QStringList& options = {})
        : LinkRig(QStringLiteral(IGNIVEX_SIM), kPort,
                  QStringList{"--rpm-count", "4096", "--map", "0x80", "--bat", "0xFF", "--adv",
                              "0x80", "--gpi", "0x1C", "--gpi3", "0xFF", "--status", "0xFE", "--id",
                              "IGX-2 V1.10"} +
                      options) {}
};
}  // namespace

class TestLinkEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void realOneSecondTimeout();
    void lateReplies();
    void hangUpInTheMiddleOfAnExchange();
};

void TestLinkEndToEnd::realOneSecondTimeout() {
    Rig rig;
    QVERIFY(rig.control("fault silent 0x23"));
    QElapsedTimer waited;
    waited.start();
    const double cpu = processCpuMs();
    QCOMPARE(rig.link.ReadBAT(), 0.0f);
    const qint64 ms = waited.elapsed();
    const double used = processCpuMs() - cpu;
    qInfo("time-out after %lld ms, CPU %.1f ms", ms, used);
    QVERIFY2(!spun(used, double(ms)), "the one-second wait spun");
    QCOMPARE(rig.boxes.texts(), QStringList{kTimeout});
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.link.linkReady);
    // The next command reopens the port and works.
    QCOMPARE(rig.link.ReadMAP(1), 17.0f);
}

void TestLinkEndToEnd::lateReplies() {
    Rig rig({"--late", "0x22:300", "--late", "0x23:1500"});
    QCOMPARE(rig.link.ReadMAP(1), 17.0f);  // late, but within the second
    QCOMPARE(rig.boxes.count(), 0);
    QCOMPARE(rig.link.ReadBAT(), 0.0f);  // too late
    QCOMPARE(rig.boxes.texts(), QStringList{kTimeout});
    // The stray reply arrives after the time-out and is thrown away by the next command.
    QTest::qWait(800);
    QVERIFY(rig.control("clear"));
    QCOMPARE(rig.link.ReadAdvance(), scaling::advance(0x80));
    QVERIFY(rig.link.linkReady);
}

void TestLinkEndToEnd::hangUpInTheMiddleOfAnExchange() {
    Rig rig({"--late", "0x23:600"});
    QCOMPARE(rig.link.ReadMAP(1), 17.0f);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        rig.sim.command("hangup");
    });
    QElapsedTimer waited;
    waited.start();
    const double cpu = processCpuMs();
    QCOMPARE(rig.link.ReadBAT(), 0.0f);  // answered Abort by the scripted boxes
    const qint64 ms = waited.elapsed();
    unplug.join();
    const double used = processCpuMs() - cpu;
    qInfo("hang-up at 200 ms: the read ended after %lld ms, CPU %.1f ms", ms, used);
    QVERIFY2(ms < 900, "the read waited for its deadline instead of ending at the hang-up");
    QVERIFY2(!spun(used, double(ms)), "the read spun");
    QCOMPARE(rig.boxes.count(), 1);
    QVERIFY2(rig.boxes.shown[0].text.contains("was lost"), qPrintable(rig.boxes.shown[0].text));
    QVERIFY(!rig.port.portOpen());
    // The event loop stays quiet afterwards.
    const double idle = processCpuMs();
    QTest::qWait(500);
    const double idleCpu = processCpuMs() - idle;
    qInfo("CPU over 500 ms after the hang-up: %.1f ms", idleCpu);
    QVERIFY2(!spun(idleCpu, 500), "the event loop spun after the hang-up");
}

QTEST_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
