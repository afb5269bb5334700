// The command line's own checks: the bounds of --duration, which arguments go to the window,
// and the link's messages reworded for a logger without one.
#include "app/ArgumentChecks.h"
#include "app/CommandLine.h"
#include "app/HeadlessWords.h"
#include "link/SerialErrors.h"
#include "recovery/CommError.h"

#include <QtTest>

using namespace ignivex;
using namespace ignivex::command_line;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void duration_data();
    void duration();
    void port_data();
    void port();
    void windowOrCommandLine_data();
    void windowOrCommandLine();
    void linkMessagesWithoutAWindow_data();
    void linkMessagesWithoutAWindow();
    void helpNamesEveryOption();
    void startAndAlarms_data();
    void startAndAlarms();
};

// --start-when's seconds (5 and 3 unless given), --alarm-hold for every alarm, and what is
// refused: "keep/stop/alarms/hold", or the usage error's words.
void TestCommandLine::startAndAlarms_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("got");
    QTest::newRow("the defaults") << QStringList{"--start-when", "rpm > 3000"} << "5/3/0/0";
    QTest::newRow("given, joined by =")
        << QStringList{"--start-when=rpm > 3000", "--keep-before=0", "--stop-after", "0.25"}
        << "0/0.25/0/0";
    QTest::newRow("two alarms, the hold after them")
        << QStringList{"--alarm", "a: rpm > 1", "--alarm", "b: map > 2", "--alarm-hold", "1.5"}
        << "-/-/2/1.5";
    QTest::newRow("the longest wait kept") << QStringList{"--start-when", "rpm", "--keep-before", "600"}
                                           << "600/3/0/0";
    QTest::newRow("a second more") << QStringList{"--start-when", "rpm", "--keep-before", "600.5"}
                                   << "--keep-before takes seconds from 0 to 600";
    QTest::newRow("negative") << QStringList{"--alarm-hold", "-1"} << "--alarm-hold takes seconds";
    QTest::newRow("stop-after alone") << QStringList{"--stop-after", "1"} << "needs --start-when";
    QTest::newRow("an alarm without its text") << QStringList{"--alarm", "rpm > 1"}
                                               << "TEXT: FORMULA";
    QTest::newRow("a channel by formula given after the alarm that reads it")
        << QStringList{"--alarm", "a: r > 1", "--channel", "r=rate(rpm)"} << "-/-/1/0";
    QTest::newRow("a channel by formula that cannot be read")
        << QStringList{"--channel", "r=rate(rpm", "--alarm", "a: r > 1"} << "--channel \"r=rate(rpm\": ";
    QTest::newRow("a formula cut short, where")
        << QStringList{"--start-when", "rpm >"} << "--start-when \"rpm >\": ";
    QTest::newRow("published, with alarms") << QStringList{"--publish", "postgresql://a@b/c",
                                                           "--alarm", "a: rpm > 1"} << "-/-/1/0";
    QTest::newRow("published, a recording that starts itself")
        << QStringList{"--publish", "postgresql://a@b/c", "--start-when", "rpm"}
        << "is not published";
    QTest::newRow("publish without its URL") << QStringList{"--publish"} << "--publish needs a value";
}

void TestCommandLine::startAndAlarms() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, got);
    const Request r = parse(QStringList{"--record", "x.csv"} + arguments);
    if (const auto* usage = std::get_if<Usage>(&r)) {
        QVERIFY2(usage->error.contains(got), qPrintable(usage->error));
        return;
    }
    const Options& o = std::get<Options>(r);
    QCOMPARE(QString("%1/%2/%3/%4")
                 .arg(o.trigger ? QString::number(o.trigger->keepBeforeSeconds) : "-")
                 .arg(o.trigger ? QString::number(o.trigger->stopAfterSeconds) : "-")
                 .arg(o.alarms.size())
                 .arg(o.alarms.empty() ? 0 : o.alarms.back().holdSeconds),
             got);
}

// Every option the command line takes, the logger's and the questions', is in --help.
void TestCommandLine::helpNamesEveryOption() {
    const QString help = helpText("Ignivex_Log");
    for (const char* o :
         {"--record",    "--port",      "--rate",    "--duration",     "--force",
          "--help",      "-h",          "--version", "--stats",        "--table",
          "--section",   "--xlsx",      "--from",    "--to",           "--of",
          "--rpm-edges", "--map-edges", "--out",     "SIGUSR1",        "--histogram",
          "--rows",      "--row-edges", "--columns", "--column-edges", "--min-samples",
          "--edges",     "--alarm",     "--alarm-hold", "--start-when", "--keep-before",
          "--stop-after", "--channel",   "--dashboard",
          "--tag",       "--library", "--library-add",  "--library-list", "--library-tag",
          "--publish",   "--sync"})
        QVERIFY2(help.contains(QRegularExpression(
                     QString("(^|[\\s\\[])%1[\\s,=\\]]").arg(QRegularExpression::escape(o)))),
                 o);
}

void TestCommandLine::duration_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms");  // -1: a usage error
    QTest::newRow("the shortest") << "1" << qint64(1000);
    QTest::newRow("just under a second") << "0.999" << qint64(-1);
    QTest::newRow("a fraction") << "2.5" << qint64(2500);
    QTest::newRow("366 days") << "31622400" << qint64(31622400000);
    QTest::newRow("a second more") << "31622401" << qint64(-1);
    QTest::newRow("past 2^32 ms") << "4294970" << qint64(4294970000);
    QTest::newRow("past 2^31 ms") << "2147484" << qint64(2147484000);
    QTest::newRow("1e300") << "1e300" << qint64(-1);
    QTest::newRow("inf") << "inf" << qint64(-1);
    QTest::newRow("nan") << "nan" << qint64(-1);
    QTest::newRow("negative") << "-5" << qint64(-1);
    QTest::newRow("a word") << "ten" << qint64(-1);
}

void TestCommandLine::duration() {
    QFETCH(QString, text);
    QFETCH(qint64, ms);
    const auto parsed = parseDuration(text);
    QCOMPARE(parsed ? qint64(parsed->count()) : qint64(-1), ms);
    const Request r = parse({"--record", "f.csv", "--duration", text});
    QCOMPARE(std::holds_alternative<Usage>(r), ms < 0);
}

void TestCommandLine::port_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");  // 0: a device path; -1: a usage error
    QTest::newRow("a number") << "3" << 3;
    QTest::newRow("the last") << "255" << 255;
    QTest::newRow("past the last") << "256" << -1;
    QTest::newRow("zero") << "0" << -1;
    QTest::newRow("as Windows names it") << "COM7" << 7;
    QTest::newRow("in small letters") << "com12" << 12;
    QTest::newRow("COM0") << "COM0" << -1;
    QTest::newRow("COM256") << "COM256" << -1;
    QTest::newRow("COM alone") << "COM" << -1;
    QTest::newRow("COM with a sign") << "COM-1" << -1;
    QTest::newRow("a device path") << "/dev/ttyUSB0" << 0;
    QTest::newRow("a word") << "usb" << -1;
}

void TestCommandLine::port() {
    QFETCH(QString, text);
    QFETCH(int, number);
    const Request r = parse({"--record", "f.csv", "--port", text});
    QCOMPARE(std::holds_alternative<Usage>(r), number < 0);
    if (const auto* o = std::get_if<Options>(&r)) {
        QCOMPARE(o->portNumber, number);
        QCOMPARE(o->device, number == 0 ? text : QString());
    }
}

void TestCommandLine::windowOrCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("outcome");  // window, usage, options
    QTest::newRow("none") << QStringList{} << "window";
    QTest::newRow("the toolkit's -platform") << QStringList{"-platform", "offscreen"} << "window";
    QTest::newRow("the toolkit's --style=") << QStringList{"--style=fusion"} << "window";
    QTest::newRow("a mistyped option") << QStringList{"--recrod", "run.csv"} << "usage";
    QTest::newRow("a dash alone") << QStringList{"-"} << "usage";
    QTest::newRow("an unknown short option") << QStringList{"-x"} << "usage";
    QTest::newRow("the toolkit's option among ours")
        << QStringList{"-style", "fusion", "--record", "f.csv"} << "usage";
    QTest::newRow("ours") << QStringList{"--record", "f.csv", "--force"} << "options";
    QTest::newRow("the dashboard") << QStringList{"--dashboard"} << "window";
    QTest::newRow("the dashboard, a letter off") << QStringList{"--dashbord"} << "usage";
    QTest::newRow("the dashboard with the logger's")
        << QStringList{"--record", "f.csv", "--dashboard"} << "usage";
}

void TestCommandLine::windowOrCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, outcome);
    const bool commandLine = isCommandLine(arguments);
    QCOMPARE(commandLine, outcome != "window");
    if (commandLine)
        QCOMPARE(std::holds_alternative<Usage>(parse(arguments)), outcome == "usage");
}

void TestCommandLine::linkMessagesWithoutAWindow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("device");
    const QString dev = "/dev/ttyUSB9";
    const QString folder = "/home/u/.config/Ignivex_Log/ports";
    const QList<std::pair<const char*, CommError>> errors = {
        {"no such device", serial::noSuchDevice(1, dev, folder)},
        {"not a serial device", serial::notASerialDevice(1, dev, "a plain file", folder)},
        {"no permission", serial::noPermission(1, dev)},
        {"in use", serial::inUse(1, dev)},
        {"open failed", serial::openFailed(1, dev, "I/O error")},
        {"not open", serial::notOpen(1, dev)},
        {"lost", serial::deviceLost(1, dev)},
        {"gone", serial::deviceGone(1, dev)},
        {"write failed", serial::writeFailed(1, dev, "I/O error")},
        {"invalid port", serial::invalidPortNumber(300)},
        {"time-out", CommError::raised(QString::fromLatin1(kTimeoutText))},
    };
    for (const auto& [name, error] : errors) {
        QTest::newRow(qPrintable(QString(name) + ", a device path")) << error.description() << dev;
        QTest::newRow(qPrintable(QString(name) + ", a port number"))
            << error.description() << QString();
    }
}

void TestCommandLine::linkMessagesWithoutAWindow() {
    QFETCH(QString, text);
    QFETCH(QString, device);
    const QString out = forCommandLine(text, device);
    for (const char* word : {"click", "Click", "Port Setup", "real-time view"})
        QVERIFY2(!out.contains(word), qPrintable(out));
    if (!device.isEmpty()) {
        QVERIFY2(!out.contains("Com1"), qPrintable(out));
        if (text.contains(device))
            QVERIFY2(out.contains(device), qPrintable(out));
    }
    if (text.contains("Port Setup"))
        QVERIFY2(out.contains("--port"), qPrintable(out));
    QVERIFY(!out.isEmpty() && out.endsWith('.'));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
