// The module simulator seen from the tool's side of the pseudo-terminal: the replies to every
// command, the faults, the control lines, the hang-up and the ports-folder link.
//
// Replies are delimited without timing: after the bytes under test the simulator is told to clear
// its faults and to identify itself with a unique text, and since it answers strictly in order,
// everything before that text is the reply under test.

#include "support/Bytes.h"

#include <QtTest>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using ignivex::test::bytes;

namespace {

const QByteArray kEndMark = "--end-of-reply--\r";
constexpr int kWaitMs = 5000;  // a bound on waiting for the simulator, never a measurement

enum class Read { Data, Ended, TimedOut };

class Sim {
public:
    ~Sim() { stop(); }

    bool start(const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        proc.setProcessEnvironment(env);
        proc.start(QStringLiteral(IGNIVEX_SIM), args + QStringList{"--exit-on-eof"});
        if (!proc.waitForStarted(kWaitMs))
            return false;
        path = readLine();
        return path.startsWith("/dev/");
    }

    QString readLine() {
        QDeadlineTimer deadline(kWaitMs);
        while (!proc.canReadLine() && !deadline.hasExpired())
            if (!proc.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                break;
        return QString::fromUtf8(proc.readLine()).trimmed();
    }

    QString control(const QString& line) {
        proc.write(line.toUtf8() + '\n');
        return readLine();
    }

    bool openPort() {
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return false;
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        return tcsetattr(fd, TCSANOW, &t) == 0;
    }

    bool send(const QByteArray& bytes) {
        return ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
    }

    // Reads until `count` bytes are in `into`, the line ends (EOF or EIO) or the bound passes.
    Read read(QByteArray& into, int count) {
        QDeadlineTimer deadline(kWaitMs);
        while (into.size() < count) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0)
                return Read::TimedOut;
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno == EIO))
                return Read::Ended;
            if (n > 0)
                into.append(buf, n);
        }
        return Read::Data;
    }

    Read readUntilHangup() {
        QByteArray ignored;
        return read(ignored, 1 << 20);
    }

    qint64 received() {
        const auto m = QRegularExpression("total=(\\d+)").match(control("stats"));
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    }

    // Waits until the simulator has taken in `total` command bytes.
    bool waitReceived(qint64 total) {
        QDeadlineTimer deadline(kWaitMs);
        while (received() < total) {
            if (deadline.hasExpired())
                return false;
            QTest::qSleep(1);
        }
        return true;
    }

    // Everything the simulator sends in answer to `bytes`, as delimited above.
    QByteArray replyTo(const QByteArray& bytes) {
        const qint64 before = received();
        if (!send(bytes) || !waitReceived(before + bytes.size()))
            return "<not received>";
        if (control("clear") != "ok" || control("set id " + kEndMark.chopped(1)) != "ok" ||
            !send("\x10"))
            return "<control failed>";
        QByteArray got;
        QDeadlineTimer deadline(kWaitMs);
        while (!got.endsWith(kEndMark)) {
            if (read(got, got.size() + 1) != Read::Data || deadline.hasExpired())
                return "<incomplete: " + got.toHex(' ') + ">";
        }
        return got.chopped(kEndMark.size());
    }

    void stop() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (proc.state() != QProcess::NotRunning) {
            proc.closeWriteChannel();
            if (!proc.waitForFinished(kWaitMs))
                proc.kill();
            proc.waitForFinished(kWaitMs);
        }
    }

    QProcess proc;
    QString path;
    int fd = -1;
};

const QByteArray kDefaultId = "IGX-2 V1.10\r";

}  // namespace

class TestModuleSim : public QObject {
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
    void controlChangesReplies_data();
    void controlChangesReplies();
    void controlErrorsChangeNothing_data();
    void controlErrorsChangeNothing();
    void badOptions_data();
    void badOptions();
    void help();
    void engineCycle_data();
    void engineCycle();
    void stats();
    void hangupAfter_data();
    void hangupAfter();
    void hangupNowAndReplug();
    void link_data();
    void link();
    void logRecordsTraffic();
};

// Columns: options, bytes sent, expected reply. `length` is the reply's length where its content is
// random after `expected`, otherwise -1.
void TestModuleSim::replies_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("length");

    const QStringList none;
    QTest::newRow("sync acknowledges") << none << bytes({0x33}) << bytes({0x06}) << -1;
    QTest::newRow("identify: text and CR") << none << bytes({0x10}) << kDefaultId << -1;
    QTest::newRow("status") << none << bytes({0x2F}) << bytes({0x01}) << -1;
    QTest::newRow("rpm at idle, low byte first")
        << none << bytes({0x20}) << bytes({0x47, 0x10}) << -1;
    QTest::newRow("map") << none << bytes({0x22}) << bytes({0x50}) << -1;
    QTest::newRow("battery") << none << bytes({0x23}) << bytes({0xC4}) << -1;
    QTest::newRow("gpi: bits then analogue") << none << bytes({0x24}) << bytes({0x00, 0x80}) << -1;
    QTest::newRow("advance") << none << bytes({0x26}) << bytes({0x39}) << -1;
    QTest::newRow("commands in one write, answered in order")
        << none << bytes({0x33, 0x2F, 0x24, 0x33}) << bytes({0x06, 0x01, 0x00, 0x80, 0x06}) << -1;
    QTest::newRow("unknown 0x00") << none << bytes({0x00}) << QByteArray() << -1;
    QTest::newRow("unknown 0x41") << none << bytes({0x41}) << QByteArray() << -1;
    QTest::newRow("unknown 0xFF") << none << bytes({0xFF}) << QByteArray() << -1;
    QTest::newRow("the ack byte is no command") << none << bytes({0x06}) << QByteArray() << -1;

    QTest::newRow("rpm-count hex")
        << QStringList{"--rpm-count", "0x1000"} << bytes({0x20}) << bytes({0x00, 0x10}) << -1;
    QTest::newRow("rpm-count top")
        << QStringList{"--rpm-count", "65535"} << bytes({0x20}) << bytes({0xFF, 0xFF}) << -1;
    QTest::newRow("rpm 0 is the stopped count")
        << QStringList{"--rpm", "0"} << bytes({0x20}) << bytes({0xFF, 0xFF}) << -1;
    QTest::newRow("rpm top is count 1")
        << QStringList{"--rpm", "3750000"} << bytes({0x20}) << bytes({0x01, 0x00}) << -1;
    QTest::newRow("rpm 3000 is count 1250")
        << QStringList{"--rpm", "3000"} << bytes({0x20}) << bytes({0xE2, 0x04}) << -1;
    QTest::newRow("rpm 58, the lowest reportable")
        << QStringList{"--rpm", "58"} << bytes({0x20}) << bytes({0x8F, 0xFC}) << -1;
    QTest::newRow("rpm 57 is too slow: stopped")
        << QStringList{"--rpm", "57"} << bytes({0x20}) << bytes({0xFF, 0xFF}) << -1;
    QTest::newRow("decimal with leading zero is not octal")
        << QStringList{"--map", "010"} << bytes({0x22}) << bytes({10}) << -1;
    QTest::newRow("option=value") << QStringList{"--map=0xff"} << bytes({0x22}) << bytes({0xFF})
                                  << -1;
    QTest::newRow("battery 0") << QStringList{"--bat", "0"} << bytes({0x23}) << bytes({0x00}) << -1;
    QTest::newRow("advance 0x80") << QStringList{"--adv", "0x80"} << bytes({0x26}) << bytes({0x80})
                                  << -1;
    QTest::newRow("all inputs") << QStringList{"--gpi", "0x1C", "--gpi3", "255"} << bytes({0x24})
                                << bytes({0x1C, 0xFF}) << -1;
    QTest::newRow("status 0xFE") << QStringList{"--status", "0xFE"} << bytes({0x2F})
                                 << bytes({0xFE}) << -1;
    QTest::newRow("empty ID is CR alone")
        << QStringList{"--id", ""} << bytes({0x10}) << QByteArray("\r") << -1;
    QTest::newRow("ID with spaces")
        << QStringList{"--id", "A B C"} << bytes({0x10}) << QByteArray("A B C\r") << -1;
    QTest::newRow("wrong sync reply")
        << QStringList{"--sync-reply", "0x15"} << bytes({0x33}) << bytes({0x15}) << -1;

    QTest::newRow("short two-byte reply")
        << QStringList{"--short", "0x24"} << bytes({0x24}) << bytes({0x00}) << -1;
    QTest::newRow("short one-byte reply is none")
        << QStringList{"--short", "0x33"} << bytes({0x33}) << QByteArray() << -1;
    QTest::newRow("short ID loses its CR")
        << QStringList{"--short", "0x10"} << bytes({0x10}) << QByteArray("IGX-2 V1.10") << -1;
    QTest::newRow("short hits only its command")
        << QStringList{"--short", "0x24"} << bytes({0x20}) << bytes({0x47, 0x10}) << -1;
    QTest::newRow("short all") << QStringList{"--short", "all"} << bytes({0x20, 0x2F})
                               << bytes({0x47}) << -1;
    QTest::newRow("ID without CR")
        << QStringList{"--id-no-cr"} << bytes({0x10}) << QByteArray("IGX-2 V1.10") << -1;
    QTest::newRow("ID without CR, and short") << QStringList{"--id-no-cr", "--short", "0x10"}
                                              << bytes({0x10}) << QByteArray("IGX-2 V1.1") << -1;
    QTest::newRow("ID without CR leaves others")
        << QStringList{"--id-no-cr"} << bytes({0x2F}) << bytes({0x01}) << -1;
    QTest::newRow("extra bytes") << QStringList{"--extra", "0x23:2"} << bytes({0x23})
                                 << bytes({0xC4, 0xEE, 0xEE}) << -1;
    QTest::newRow("extra 0 bytes")
        << QStringList{"--extra", "0x23:0"} << bytes({0x23}) << bytes({0xC4}) << -1;
    QTest::newRow("silent command")
        << QStringList{"--silent", "0x20"} << bytes({0x20}) << QByteArray() << -1;
    QTest::newRow("silent hits only its command")
        << QStringList{"--silent", "0x20"} << bytes({0x20, 0x33}) << bytes({0x06}) << -1;
    QTest::newRow("silent all") << QStringList{"--silent", "all"} << bytes({0x33, 0x10, 0x24})
                                << QByteArray() << -1;
    QTest::newRow("two commands silenced") << QStringList{"--silent", "0x20", "--silent", "0x22"}
                                           << bytes({0x20, 0x22, 0x2F}) << bytes({0x01}) << -1;
    QTest::newRow("late reply arrives")
        << QStringList{"--late", "0x26:150"} << bytes({0x26}) << bytes({0x39}) << -1;
    QTest::newRow("replies wait behind a late one")
        << QStringList{"--late", "0x20:150"} << bytes({0x20, 0x2F}) << bytes({0x47, 0x10, 0x01})
        << -1;
    QTest::newRow("garbage instead")
        << QStringList{"--garbage", "0x20:5"} << bytes({0x20}) << QByteArray() << 5;
    QTest::newRow("garbage of 0 bytes")
        << QStringList{"--garbage", "0x20:0"} << bytes({0x20}) << QByteArray() << -1;
    QTest::newRow("garbage appended")
        << QStringList{"--garbage-append", "0x23:3"} << bytes({0x23}) << bytes({0xC4}) << 4;
    QTest::newRow("faults stack") << QStringList{"--garbage", "0x24:4",  "--short",
                                                 "0x24",      "--extra", "0x24:1"}
                                  << bytes({0x24}) << QByteArray() << 4;

    QTest::newRow("paced") << QStringList{"--paced"} << bytes({0x10, 0x20})
                           << kDefaultId + bytes({0x47, 0x10}) << -1;
    QTest::newRow("paced and late") << QStringList{"--paced", "--late", "all:50"}
                                    << bytes({0x33, 0x2F}) << bytes({0x06, 0x01}) << -1;
}

void TestModuleSim::replies() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    QFETCH(int, length);

    Sim sim;
    QVERIFY(sim.start(args));
    QVERIFY(sim.openPort());
    const QByteArray got = sim.replyTo(sent);
    if (length < 0) {
        QCOMPARE(got.toHex(' '), expected.toHex(' '));
    } else {
        QCOMPARE(got.size(), length);
        QCOMPARE(got.left(expected.size()).toHex(' '), expected.toHex(' '));
    }
}

void TestModuleSim::controlChangesReplies_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("set map") << QStringList{"set map 0x80"} << bytes({0x22}) << bytes({0x80});
    QTest::newRow("set rpm-count")
        << QStringList{"set rpm-count 1"} << bytes({0x20}) << bytes({0x01, 0x00});
    QTest::newRow("set rpm 0") << QStringList{"set rpm 0"} << bytes({0x20}) << bytes({0xFF, 0xFF});
    QTest::newRow("set bat, adv") << QStringList{"set bat 255", "set adv 1"} << bytes({0x23, 0x26})
                                  << bytes({0xFF, 0x01});
    QTest::newRow("set gpi, gpi3")
        << QStringList{"set gpi 0x1C", "set gpi3 0"} << bytes({0x24}) << bytes({0x1C, 0x00});
    QTest::newRow("set status") << QStringList{"set status 4"} << bytes({0x2F}) << bytes({0x04});
    QTest::newRow("set sync-reply")
        << QStringList{"set sync-reply 21"} << bytes({0x33}) << bytes({0x15});
    QTest::newRow("set id keeps spaces")
        << QStringList{"set id X  Y "} << bytes({0x10}) << QByteArray("X  Y \r");
    QTest::newRow("set id empty") << QStringList{"set id"} << bytes({0x10}) << QByteArray("\r");
    QTest::newRow("a later set wins")
        << QStringList{"set map 1", "set map 2"} << bytes({0x22}) << bytes({0x02});
    QTest::newRow("engine off gives the fixed values back")
        << QStringList{"set engine-at 8.5", "set engine off"} << bytes({0x20})
        << bytes({0x47, 0x10});
    QTest::newRow("fault short") << QStringList{"fault short 0x24"} << bytes({0x24})
                                 << bytes({0x00});
    QTest::newRow("fault silent") << QStringList{"fault silent 0x33"} << bytes({0x33})
                                  << QByteArray();
    QTest::newRow("fault extra all")
        << QStringList{"fault extra all:1"} << bytes({0x2F}) << bytes({0x01, 0xEE});
    QTest::newRow("fault late") << QStringList{"fault late 0x20:100"} << bytes({0x20})
                                << bytes({0x47, 0x10});
    QTest::newRow("fault id-no-cr")
        << QStringList{"fault id-no-cr"} << bytes({0x10}) << QByteArray("IGX-2 V1.10");
    QTest::newRow("clear one kind")
        << QStringList{"fault short 0x24", "fault extra 0x24:1", "clear short"} << bytes({0x24})
        << bytes({0x00, 0x80, 0xEE});
    QTest::newRow("clear one command")
        << QStringList{"fault short 0x24", "fault short 0x2F", "clear short 0x24"}
        << bytes({0x24, 0x2F}) << bytes({0x00, 0x80});
    QTest::newRow("clearing one command leaves 'all'")
        << QStringList{"fault short all", "clear short 0x2F"} << bytes({0x2F}) << QByteArray();
    QTest::newRow("clear all entry")
        << QStringList{"fault short all", "clear short all"} << bytes({0x2F}) << bytes({0x01});
    QTest::newRow("clear everything") << QStringList{"fault silent all", "fault id-no-cr", "clear"}
                                      << bytes({0x10}) << kDefaultId;
    QTest::newRow("clear id-no-cr")
        << QStringList{"fault id-no-cr", "clear id-no-cr"} << bytes({0x10}) << kDefaultId;
    QTest::newRow("paced on") << QStringList{"set paced on"} << bytes({0x24})
                              << bytes({0x00, 0x80});
}

void TestModuleSim::controlChangesReplies() {
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);

    Sim sim;
    QVERIFY(sim.start({}));
    QVERIFY(sim.openPort());
    for (const QString& line : lines)
        QCOMPARE(sim.control(line), QStringLiteral("ok"));
    QCOMPARE(sim.replyTo(sent).toHex(' '), expected.toHex(' '));
}

void TestModuleSim::controlErrorsChangeNothing_data() {
    QTest::addColumn<QString>("line");
    const char* lines[] = {"set map 256",
                           "set map -1",
                           "set map",
                           "set map 0x",
                           "set rpm-count 65536",
                           "set bogus 1",
                           "set",
                           "set engine maybe",
                           "set engine-at -1",
                           "set engine-at 8s",
                           "set id a\rb",
                           "fault late 0x20",
                           "fault late 0x20:x",
                           "fault late 0x20:600001",
                           "fault silent 0x100",
                           "fault silent 0x20:5",
                           "fault nope all",
                           "fault hangup-after 0",
                           "fault id-no-cr 0x10",
                           "clear nope",
                           "clear short 0x1FF",
                           "clear id-no-cr 0x10",
                           "stats now",
                           "quit now",
                           "frobnicate",
                           "",
                           "SET map 1"};
    for (const char* line : lines)
        QTest::newRow(QByteArray(line).replace('\r', "\\r").constData())
            << QString::fromLatin1(line);
}

void TestModuleSim::controlErrorsChangeNothing() {
    QFETCH(QString, line);

    Sim sim;
    QVERIFY(sim.start({}));
    const QString before = sim.control("show");
    QVERIFY(before.startsWith("ok "));
    QVERIFY2(sim.control(line).startsWith("error "), qPrintable(line));
    QCOMPARE(sim.control("show"), before);
    QCOMPARE(sim.proc.state(), QProcess::Running);
}

void TestModuleSim::badOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("byte too big") << QStringList{"--map", "256"};
    QTest::newRow("negative") << QStringList{"--bat", "-1"};
    QTest::newRow("hex without digits") << QStringList{"--adv", "0x"};
    QTest::newRow("count too big") << QStringList{"--rpm-count", "65536"};
    QTest::newRow("value missing") << QStringList{"--map"};
    QTest::newRow("late without ms") << QStringList{"--late", "0x20"};
    QTest::newRow("command out of range") << QStringList{"--silent", "0x100"};
    QTest::newRow("command misspelt") << QStringList{"--short", "everything"};
    QTest::newRow("link 0") << QStringList{"--link", "0"};
    QTest::newRow("link 256") << QStringList{"--link", "256"};
    QTest::newRow("hangup-after 0") << QStringList{"--hangup-after", "0"};
    QTest::newRow("flag with a value") << QStringList{"--exit-on-eof=yes"};
    QTest::newRow("unknown option") << QStringList{"--bogus", "1"};
    QTest::newRow("positional") << QStringList{"foo"};
    QTest::newRow("single dash") << QStringList{"-map", "1"};
}

void TestModuleSim::badOptions() {
    QFETCH(QStringList, args);
    QProcess p;
    p.start(QStringLiteral(IGNIVEX_SIM), args);
    QVERIFY(p.waitForFinished(kWaitMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardOutput().isEmpty());  // no device path: nobody waits for one
    QVERIFY(!p.readAllStandardError().isEmpty());
}

void TestModuleSim::help() {
    QProcess p;
    p.start(QStringLiteral(IGNIVEX_SIM), {"--help"});
    QVERIFY(p.waitForFinished(kWaitMs));
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY(text.startsWith("Usage: module-sim"));
    QVERIFY(!text.contains("/dev/"));
}

// The engine held at moments of its cycle, against what the demo relies on.
void TestModuleSim::engineCycle_data() {
    QTest::addColumn<QString>("at");
    QTest::addColumn<double>("minRpm");
    QTest::addColumn<double>("maxRpm");
    QTest::addColumn<double>("minVolts");
    QTest::addColumn<double>("maxVolts");

    QTest::newRow("idle") << "1" << 750.0 << 950.0 << 13.0 << 14.5;
    QTest::newRow("full revs") << "8.5" << 6300.0 << 6700.0 << 13.0 << 14.5;
    QTest::newRow("cruise, battery low") << "14" << 2800.0 << 3400.0 << 0.0 << 10.99;
    QTest::newRow("idle, battery high") << "21.5" << 750.0 << 950.0 << 16.01 << 18.0;
    QTest::newRow("the cycle repeats") << "32.5" << 6300.0 << 6700.0 << 13.0 << 14.5;
}

void TestModuleSim::engineCycle() {
    QFETCH(QString, at);
    QFETCH(double, minRpm);
    QFETCH(double, maxRpm);
    QFETCH(double, minVolts);
    QFETCH(double, maxVolts);

    Sim sim;
    QVERIFY(sim.start({"--engine-at", at}));
    QVERIFY(sim.openPort());
    const QByteArray r = sim.replyTo(bytes({0x20, 0x23, 0x24}));
    QCOMPARE(r.size(), 5);
    const int count = static_cast<quint8>(r[0]) | static_cast<quint8>(r[1]) << 8;
    QVERIFY(count != 0 && count != 0xFFFF);
    const double rpm = 3750000.0 / count;
    const double volts = static_cast<quint8>(r[2]) * 18.0 / 255;
    QVERIFY2(rpm >= minRpm && rpm <= maxRpm, qPrintable(QString::number(rpm)));
    QVERIFY2(volts >= minVolts && volts <= maxVolts, qPrintable(QString::number(volts)));
    QCOMPARE(static_cast<quint8>(r[3]) & ~0x1C, 0);  // only the three input bits
}

void TestModuleSim::stats() {
    Sim sim;
    QVERIFY(sim.start({"--silent", "all"}));
    QVERIFY(sim.openPort());
    QCOMPARE(sim.control("stats"),
             QStringLiteral(
                 "ok total=0 0x33=0 0x10=0 0x2F=0 0x20=0 0x22=0 0x23=0 0x24=0 0x26=0 other=0"));
    QVERIFY(sim.send(
        bytes({0x33, 0x33, 0x10, 0x2F, 0x20, 0x22, 0x23, 0x24, 0x26, 0x26, 0x00, 0xFF, 0x41})));
    QVERIFY(sim.waitReceived(13));
    QCOMPARE(sim.control("stats"),
             QStringLiteral(
                 "ok total=13 0x33=2 0x10=1 0x2F=1 0x20=1 0x22=1 0x23=1 0x24=1 0x26=2 other=3"));
    QCOMPARE(sim.control("stats reset"), QStringLiteral("ok"));
    QCOMPARE(sim.received(), qint64(0));
}

void TestModuleSim::hangupAfter_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("answered");

    QTest::newRow("after 1") << QStringList{"--hangup-after", "1"} << QStringList{} << 1;
    QTest::newRow("after 3") << QStringList{"--hangup-after", "3"} << QStringList{} << 3;
    QTest::newRow("late last reply still comes")
        << QStringList{"--hangup-after", "2", "--late", "0x33:100"} << QStringList{} << 2;
    QTest::newRow("switched on at run time counts from then")
        << QStringList{} << QStringList{"fault hangup-after 2"} << 2;
}

// The N answered commands get their replies; then the tool's side reads end of file or EIO.
void TestModuleSim::hangupAfter() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, lines);
    QFETCH(int, answered);

    Sim sim;
    QVERIFY(sim.start(args));
    QVERIFY(sim.openPort());
    if (!lines.isEmpty()) {
        QByteArray r;
        QVERIFY(sim.send(bytes({0x33})));
        QCOMPARE(sim.read(r, 1), Read::Data);
        for (const QString& line : lines)
            QCOMPARE(sim.control(line), QStringLiteral("ok"));
    }
    for (int i = 0; i < answered; ++i) {
        QByteArray r;
        QVERIFY(sim.send(bytes({0x33})));
        QCOMPARE(sim.read(r, 1), Read::Data);
        QCOMPARE(r, bytes({0x06}));
    }
    QCOMPARE(sim.readUntilHangup(), Read::Ended);
    QCOMPARE(sim.control("path"), QStringLiteral("error hung up"));
    QCOMPARE(sim.proc.state(), QProcess::Running);
}

void TestModuleSim::hangupNowAndReplug() {
    QTemporaryDir config;
    QVERIFY(config.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    const QString link = config.path() + "/Ignivex_Log/ports/Com4";

    Sim sim;
    QVERIFY(sim.start({"--link", "4", "--hangup-after", "2"}, env));
    QVERIFY(sim.openPort());
    QCOMPARE(sim.control("hangup"), QStringLiteral("ok"));
    QCOMPARE(sim.readUntilHangup(), Read::Ended);
    QCOMPARE(sim.control("hangup"), QStringLiteral("error already hung up"));
    // Like an adapter pulled out: the port's link stays, pointing at a device that is gone.
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path);
    QVERIFY(!QFileInfo::exists(sim.path));

    const QString replug = sim.control("replug");
    QVERIFY2(replug.startsWith("ok /dev/"), qPrintable(replug));
    ::close(sim.fd);
    sim.path = replug.mid(3);
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path);
    QVERIFY(sim.openPort());
    // The new terminal counts its own commands towards the hang-up.
    for (int i = 0; i < 2; ++i) {
        QByteArray r;
        QVERIFY(sim.send(bytes({0x33})));
        QCOMPARE(sim.read(r, 1), Read::Data);
        QCOMPARE(r, bytes({0x06}));
    }
    QCOMPARE(sim.readUntilHangup(), Read::Ended);
}

void TestModuleSim::link_data() {
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("xdgSet");
    QTest::addColumn<bool>("repointed");
    QTest::newRow("quit") << "quit" << true << false;
    QTest::newRow("SIGTERM") << "term" << true << false;
    QTest::newRow("SIGINT") << "int" << true << false;
    QTest::newRow("end of stdin") << "eof" << true << false;
    QTest::newRow("without XDG_CONFIG_HOME: ~/.config") << "quit" << false << false;
    QTest::newRow("a link re-pointed since stays") << "quit" << true << true;
}

void TestModuleSim::link() {
    QFETCH(QString, ending);
    QFETCH(bool, xdgSet);
    QFETCH(bool, repointed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString ports;
    if (xdgSet) {
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        ports = dir.path() + "/config/Ignivex_Log/ports";
    } else {
        env.remove("XDG_CONFIG_HOME");
        env.insert("HOME", dir.path());
        ports = dir.path() + "/.config/Ignivex_Log/ports";
    }
    const QString link = ports + "/Com12";
    // Something already there is replaced.
    QVERIFY(QDir().mkpath(ports));
    QVERIFY(QFile::link("/dev/null", link));

    Sim sim;
    QVERIFY(sim.start({"--link", "12"}, env));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path);
    QVERIFY(QDir(ports).entryList(QDir::System | QDir::Files | QDir::Hidden).size() ==
            1);  // no temporaries left
    sim.fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(sim.fd >= 0);
    QByteArray r;
    QVERIFY(sim.send(bytes({0x2F})));
    QCOMPARE(sim.read(r, 1), Read::Data);
    QCOMPARE(r, bytes({0x01}));

    if (repointed) {
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link("/dev/zero", link));
    }
    if (ending == "quit")
        QCOMPARE(sim.control("quit"), QStringLiteral("ok"));
    else if (ending == "term")
        sim.proc.terminate();
    else if (ending == "int")
        ::kill(static_cast<pid_t>(sim.proc.processId()), SIGINT);
    else
        sim.proc.closeWriteChannel();
    QVERIFY(sim.proc.waitForFinished(kWaitMs));
    QCOMPARE(sim.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.proc.exitCode(), 0);
    QCOMPARE(QFileInfo(link).isSymLink(), repointed);
    QVERIFY(QDir(ports).exists());
    // The tool's side of a gone simulator reads end of file.
    QCOMPARE(sim.readUntilHangup(), Read::Ended);
}

void TestModuleSim::logRecordsTraffic() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString logPath = dir.path() + "/sim.log";
    {
        Sim sim;
        QVERIFY(sim.start({"--log", logPath, "--extra", "0x24:1"}));
        QVERIFY(sim.openPort());
        QByteArray r;
        QVERIFY(sim.send(bytes({0x33})));
        QCOMPARE(sim.read(r, 1), Read::Data);
        QVERIFY(sim.send(bytes({0x41})));
        QVERIFY(sim.waitReceived(2));
        QVERIFY(sim.send(bytes({0x24})));
        QCOMPARE(sim.read(r, 4), Read::Data);
        QCOMPARE(r.toHex(' '), QByteArray("06 00 80 ee"));
        QCOMPARE(sim.control("quit"), QStringLiteral("ok"));
        QVERIFY(sim.proc.waitForFinished(kWaitMs));
    }
    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList traffic;  // rx and tx lines without their time
    double last = 0;
    const QRegularExpression line("^(\\d+\\.\\d{6}) (rx|tx|--) (.*)$");
    for (const QByteArray& raw : file.readAll().split('\n')) {
        if (raw.isEmpty())
            continue;
        const auto m = line.match(QString::fromLatin1(raw));
        QVERIFY2(m.hasMatch(), raw.constData());
        const double t = m.captured(1).toDouble();
        QVERIFY2(t >= last, raw.constData());  // one clock, never going back
        last = t;
        if (m.captured(2) != "--")
            traffic << m.captured(2) + " " + m.captured(3);
    }
    const QStringList expected{"rx 0x33", "tx 06", "rx 0x41 (unknown command, no reply)", "rx 0x24",
                               "tx 00 80 EE"};
    QCOMPARE(traffic, expected);
}

QTEST_GUILESS_MAIN(TestModuleSim)
#include "tst_module_sim.moc"
