#include "base/Clock.h"
#include "recovery/CommError.h"
#include "support/IsolatedConfig.h"
#include "link/LineFaultSource.h"
#include "link/ModuleLine.h"
#include "link/PortMapper.h"
#include "support/Pty.h"
#include "link/QtSerialControl.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>
#include <qpa/qwindowsysteminterface.h>
#include <QtTest>
#include <thread>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

using namespace ignivex;
using namespace ignivex::test;

namespace {

// Fault counters the test moves by hand, standing in for a driver that keeps them.
class ScriptedCounters : public LineFaultSource {
public:
    explicit ScriptedCounters(LineFaultCounts* counts) : counts_(counts) {}
    std::optional<LineFaultCounts> read(int) override { return *counts_; }

private:
    LineFaultCounts* counts_;
};

void configure(SerialControl& port) {
    configureModuleLine(port);
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CommError& error) {
        return error.description();
    }
    return {};
}

}  // namespace

class TestSerialLayer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensTheLinkedDeviceAndExchanges();
    void discardDropsWaitingInput();
    void waitGivesUpAtTheDeadline();
    void receiveBufferOverflowIsAnEvent();
    void driverFaultsArriveOnlyWhenEventsRun_data();
    void driverFaultsArriveOnlyWhenEventsRun();
    void openErrors_data();
    void openErrors();
    void secondUserIsToldThePortIsInUse();
    void badSettingsAreRefused();
    void hangUpWhileIdleClosesThePort();
    void hangUpDuringAWaitEndsIt();
    void lostPortNamesOnlyWhatItSees_data();
    void lostPortNamesOnlyWhatItSees();
    void waitPaintsButTakesNoInput();

private:
    std::unique_ptr<IsolatedConfig> config_;
    std::unique_ptr<Pty> pty_;
    SteadyClock clock_;
    void linkAs(int number, const QString& target);
};

void TestSerialLayer::init() {
    config_ = std::make_unique<IsolatedConfig>();
    pty_ = std::make_unique<Pty>();
    QVERIFY(pty_->ok());
    linkAs(4, pty_->device());
}

void TestSerialLayer::cleanup() {
    pty_.reset();
    config_.reset();
}

void TestSerialLayer::linkAs(int number, const QString& target) {
    QDir().mkpath(config_->portsFolder());
    QVERIFY(QFile::link(target, config_->portsFolder() + QStringLiteral("/Com%1").arg(number)));
}

void TestSerialLayer::opensTheLinkedDeviceAndExchanges() {
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);  // DTR on a pseudo-terminal is refused by the device: not an error
    QVERIFY(port.portOpen());
    QCOMPARE(port.device(), QFileInfo(pty_->device()).canonicalFilePath());
    // The module's line: 56000 bit/s (not 57600), 8 data bits, no parity, 1 stop bit, no
    // handshaking.
    const auto line = pty_->line();
    QVERIFY(line);
    QCOMPARE(line->baud, 56000);
    QCOMPARE(line->dataBits, 8);
    QVERIFY(!line->parity);
    QCOMPARE(line->stopBits, 1);
    QVERIFY(!line->hardwareFlow);

    port.output(QByteArray(1, '\x33'));
    QCOMPARE(pty_->read(), QByteArray(1, '\x33'));
    pty_->write(QByteArray("\x06\x00\x07", 3));
    port.waitForInput(3, clock_.now() + std::chrono::seconds(2));
    QCOMPARE(port.inBufferCount(), 3);
    QCOMPARE(port.input(), QByteArray(1, '\x06'));  // one character per read
    QCOMPARE(port.input(), QByteArray(1, '\0'));    // zero bytes are kept
    QCOMPARE(port.input(), QByteArray(1, '\x07'));
    QCOMPARE(port.inBufferCount(), 0);
    port.setPortOpen(false);
    QVERIFY(!port.portOpen());
}

void TestSerialLayer::discardDropsWaitingInput() {
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    pty_->write("stale bytes");
    port.waitForInput(11, clock_.now() + std::chrono::seconds(2));
    QCOMPARE(port.inBufferCount(), 11);
    port.setInBufferCount(0);
    QCOMPARE(port.inBufferCount(), 0);
}

void TestSerialLayer::waitGivesUpAtTheDeadline() {
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    const double cpuBefore = processCpuMs();
    const Instant deadline = clock_.now() + milliseconds(300);
    port.waitForInput(1, deadline);
    QVERIFY(clock_.now() >= deadline);
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(port.portOpen());
    const double cpu = processCpuMs() - cpuBefore;
    qInfo("CPU spent in a 300 ms wait without reply: %.1f ms", cpu);
    QVERIFY2(!spun(cpu, 300), "the wait spun");
}

void TestSerialLayer::receiveBufferOverflowIsAnEvent() {
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    QList<int> events;
    connect(&port, &SerialControl::onComm, this, [&] { events << port.commEvent(); });
    pty_->write(QByteArray(300, 'g'));
    port.waitForInput(300, clock_.now() + milliseconds(500));
    QCOMPARE(port.inBufferCount(), 256);
    QVERIFY(events.isEmpty());  // nothing is delivered inside the wait
    QTRY_VERIFY(events.contains(comm::ErRxOver));
    QVERIFY(events.contains(comm::EvReceive));
}

void TestSerialLayer::driverFaultsArriveOnlyWhenEventsRun_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("code");
    QTest::newRow("frame") << 0 << 1004;
    QTest::newRow("overrun") << 1 << 1006;
    QTest::newRow("buffer overrun") << 2 << 1008;
    QTest::newRow("parity") << 3 << 1009;
}

void TestSerialLayer::driverFaultsArriveOnlyWhenEventsRun() {
    QFETCH(int, which);
    QFETCH(int, code);
    LineFaultCounts counts;
    QtSerialControl port(clock_, std::make_unique<ScriptedCounters>(&counts));
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    QList<int> events;
    connect(&port, &SerialControl::onComm, this, [&] { events << port.commEvent(); });

    long* fields[] = {&counts.frame, &counts.overrun, &counts.bufferOverrun, &counts.parity};
    *fields[which] += 3;  // several of one kind between two looks make one event
    pty_->write("x");
    port.waitForInput(1, clock_.now() + std::chrono::seconds(1));
    QVERIFY(events.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(events, QList<int>({comm::EvReceive, code}));

    // While idle, the counters are looked at on a timer.
    events.clear();
    *fields[which] += 1;
    QTRY_COMPARE(events, QList<int>({code}));
}

void TestSerialLayer::openErrors_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("linkTo");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no link, no device")
        << 200 << ""
        << "Com200 (/dev/ttyS199) does not exist. Plug in the serial adapter, or link it as Com200";
    QTest::newRow("link to a missing adapter") << 7 << "/dev/ttyUSB-not-there"
                                               << "Com7 (/dev/ttyUSB-not-there) does not exist.";
    const QString what = QStringLiteral(" is not a serial device: it is ");
    QTest::newRow("link to a device that is no terminal")
        << 8 << "/dev/null"
        << "Com8 (/dev/null)" + what + "a device that is not a terminal.";
    QTest::newRow("link to a plain file") << 9 << "plain"
                                          << "Com9 (@/plain)" + what + "a plain file.";
    QTest::newRow("link to a named pipe") << 10 << "fifo"
                                          << "Com10 (@/fifo)" + what + "a named pipe.";
}

void TestSerialLayer::openErrors() {
    QFETCH(int, number);
    QFETCH(QString, linkTo);
    QFETCH(QString, expected);
    expected.replace('@', config_->path());
    if (linkTo == "plain" || linkTo == "fifo") {
        linkTo = config_->path() + "/" + linkTo;
        if (linkTo.endsWith("plain"))
            QVERIFY(QFile(linkTo).open(QIODevice::WriteOnly));
        else
            QCOMPARE(mkfifo(QFile::encodeName(linkTo).constData(), 0600), 0);
    }
    if (!linkTo.isEmpty())
        linkAs(number, linkTo);
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(number);
    const QString error = errorOf([&] { port.setPortOpen(true); });
    QVERIFY2(error.startsWith(expected), qPrintable(error));
    QVERIFY(!port.portOpen());
    QVERIFY(errorOf([&] { port.inBufferCount(); }).contains("is not open"));
}

void TestSerialLayer::secondUserIsToldThePortIsInUse() {
    QtSerialControl first(clock_);
    configure(first);
    first.setCommPort(4);
    first.setPortOpen(true);
    QtSerialControl second(clock_);
    configure(second);
    second.setCommPort(4);
    const QString error = errorOf([&] { second.setPortOpen(true); });
    QVERIFY2(error.contains("is in use by another program"), qPrintable(error));
    QVERIFY(first.portOpen());
}

void TestSerialLayer::badSettingsAreRefused() {
    QtSerialControl port(clock_);
    for (const char* bad : {"56000,N,8", "fast,N,8,1", "56000,X,8,1", "56000,N,9,1", "56000,N,8,3"})
        QVERIFY2(!errorOf([&] { port.setSettings(QString::fromLatin1(bad)); }).isEmpty(), bad);
    QVERIFY(errorOf([&] { port.setSettings("56000,n,8,1.5"); }).isEmpty());
    QVERIFY(!errorOf([&] { port.setCommPort(0); }).isEmpty());
    QVERIFY(!errorOf([&] { port.setCommPort(256); }).isEmpty());
}

void TestSerialLayer::hangUpWhileIdleClosesThePort() {
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    pty_->hangUp();
    QTRY_VERIFY(!port.portOpen());
    QVERIFY(errorOf([&] { port.inBufferCount(); }).contains("was lost"));
    // Left alone afterwards, the event loop sleeps: measure it.
    const double cpuBefore = processCpuMs();
    QTest::qWait(1000);
    const double cpu = processCpuMs() - cpuBefore;
    qInfo("CPU over one second after the hang-up: %.1f ms", cpu);
    QVERIFY2(!spun(cpu, 1000), "the event loop spun after the hang-up");
    // The next opening finds the device gone (unless another program on the machine has been
    // given a terminal of the same number meanwhile, which the kernel does).
    const QString device = pty_->device();
    pty_.reset();
    const QString error = errorOf([&] { port.setPortOpen(true); });
    if (!QFileInfo::exists(device))
        QVERIFY2(error.contains("does not exist"), qPrintable(error));
}

void TestSerialLayer::hangUpDuringAWaitEndsIt() {
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty_->hangUp();
    });
    QElapsedTimer waited;
    waited.start();
    const double cpuBefore = processCpuMs();
    port.waitForInput(1, clock_.now() + std::chrono::seconds(5));
    const qint64 ms = waited.elapsed();
    const double cpu = processCpuMs() - cpuBefore;
    unplug.join();
    qInfo("wait ended %lld ms after it began (hang-up at 100 ms), CPU %.1f ms", ms, cpu);
    QVERIFY2(ms < 4000, "the wait ran to its deadline instead of ending at the hang-up");
    QVERIFY2(!spun(cpu, double(ms)), "the wait spun");
    QVERIFY(!port.portOpen());
    QVERIFY(errorOf([&] { port.inBufferCount(); }).contains("was lost"));
}

// A device node that has vanished is the one cause the tool can see; a line hung up under a
// device that is still there is only "lost".
void TestSerialLayer::lostPortNamesOnlyWhatItSees_data() {
    QTest::addColumn<bool>("nodeStays");
    QTest::addColumn<QString>("says");
    QTest::newRow("node gone") << false << "was lost: the device is gone";
    QTest::newRow("node still there") << true << "was lost. Check that the adapter is plugged in";
}

void TestSerialLayer::lostPortNamesOnlyWhatItSees() {
    QFETCH(bool, nodeStays);
    QFETCH(QString, says);
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    if (nodeStays) {
        const int fd = ::open(QFile::encodeName(pty_->device()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        const bool hungUp = ::ioctl(fd, TIOCVHANGUP) == 0;
        ::close(fd);
        if (!hungUp)
            QSKIP("hanging up a terminal needs CAP_SYS_ADMIN");
    } else {
        pty_->hangUp();
    }
    port.waitForInput(1, clock_.now() + std::chrono::seconds(2));
    QTRY_VERIFY(!port.portOpen());
    const QString error = errorOf([&] { port.inBufferCount(); });
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY2(!error.contains("unplugged"), qPrintable(error));
}

// The blocking wait lets the window repaint, but keys wait until it is over, and so do
// line-fault events; it sleeps, it does not spin.
void TestSerialLayer::waitPaintsButTakesNoInput() {
    struct Window : QWidget {
        int paints = 0;
        int keys = 0;
        void paintEvent(QPaintEvent*) override { ++paints; }
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    } window;
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QtSerialControl port(clock_);
    configure(port);
    port.setCommPort(4);
    port.setPortOpen(true);
    int events = 0;
    connect(&port, &SerialControl::onComm, this, [&] { ++events; });
    pty_->write("x");  // its receive event is due at the next event processing
    QTest::qWait(50);
    events = 0;
    pty_->write("y");
    QTRY_VERIFY(port.inBufferCount() == 2);

    const int paintsBefore = window.paints;
    window.update();
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window.windowHandle(), QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    const double cpuBefore = processCpuMs();
    port.waitForInput(3, clock_.now() + milliseconds(300));
    const double cpu = processCpuMs() - cpuBefore;
    QVERIFY2(window.paints > paintsBefore, "the window did not repaint during the wait");
    QCOMPARE(window.keys, 0);
    QCOMPARE(events, 0);
    QVERIFY2(!spun(cpu, 300), "the wait spun");
    QTRY_COMPARE(window.keys, 1);
    QTRY_VERIFY(events > 0);
}

QTEST_MAIN(TestSerialLayer)
#include "tst_serial_layer.moc"
