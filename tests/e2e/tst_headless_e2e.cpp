// The logger with no window, as a program of its own against the simulator: it records until
// SIGINT, leaves whole rows after a kill -9, keeps the same file across an adapter pulled out
// and put back, and refuses what it cannot do with its exit code.
#include "record/RecordFormat.h"
#include "record/RecordingReader.h"
#include "support/IsolatedConfig.h"
#include "support/SimProcess.h"

#include <QProcess>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <thread>
#include <sys/file.h>
#include <sys/stat.h>

using namespace ignivex;
using namespace ignivex::test;

namespace {
constexpr int kPort = 7;

struct Logger {
    IsolatedConfig config;
    SimProcess sim;
    QProcess app;
    QString file = config.path() + "/run.csv";

    explicit Logger(const QStringList& simOptions = {})
        : sim(QStringLiteral(IGNIVEX_SIM),
              QStringList{"--link", QString::number(kPort), "--rpm-count", "4096", "--map", "0x80",
                          "--bat", "0xFF", "--adv", "0x80", "--gpi", "0x14", "--gpi3", "0x80"} +
                  simOptions) {
        app.setProcessChannelMode(QProcess::SeparateChannels);
    }
    void start(const QStringList& options) {
        app.start(QStringLiteral(IGNIVEX_APP), QStringList{"--record", file} + options);
    }
    // Complete rows in the file, waiting up to 20 s for at least `count`.
    QList<QByteArray> rows(int count) {
        QList<QByteArray> found;
        QDeadlineTimer deadline(20000);
        do {
            QFile f(file);
            if (f.open(QIODevice::ReadOnly)) {
                QList<QByteArray> lines = f.readAll().split('\n');
                lines.removeLast();  // after the last line end: nothing, or a row being written
                while (!lines.isEmpty() && !record::isHeaderRow(lines.takeFirst())) {
                }
                found = lines;
            }
        } while (found.size() < count && !deadline.hasExpired() && (QTest::qWait(50), true));
        return found;
    }
    void signal(int number) { ::kill(pid_t(app.processId()), number); }
    QByteArray err;
    bool stderrSays(const QString& text) {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            const bool running = app.state() != QProcess::NotRunning;
            app.waitForReadyRead(100);
            err += app.readAllStandardError();
            if (err.contains(text.toUtf8()))
                return true;
            if (!running)  // all it wrote has been read
                return false;
        }
        return false;
    }
};
}  // namespace

class TestHeadlessEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void recordsAsFastAsTheLinkAllowsUntilSigint();
    void killLeavesWholeRows();
    void adapterPulledOutAndBackKeepsTheFile();
    void refusals_data();
    void refusals();
    void closedStderrKeepsRecording();
    void marksFromInputAndSignal();
    void garbageIsNotOk_data();
    void garbageIsNotOk();
    void signalStorm_data();
    void signalStorm();
    void startsItselfInStretches();
};

void TestHeadlessEndToEnd::recordsAsFastAsTheLinkAllowsUntilSigint() {
    Logger l;
    QVERIFY(l.sim.ok());
    l.start({"--port", QString::number(kPort), "--rate", "max"});
    QVERIFY(l.rows(100).size() >= 100);
    l.signal(SIGINT);
    QVERIFY(l.app.waitForFinished(10000));
    QCOMPARE(l.app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(l.app.exitCode(), 0);
    QFile f(l.file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY(all.startsWith("# recording: Ignivex Log 1.1\n"));
    QVERIFY(all.contains("# firmware: IGX-2 V1.10\n"));
    QVERIFY(all.contains("# rate: as fast as the link allows\n"));
    QVERIFY(all.endsWith('\n'));
    double last = -1;
    const QList<QByteArray> rows = l.rows(0);
    const QByteArray summary = QString("Recorded %1 samples").arg(rows.size()).toUtf8();
    QVERIFY(l.app.readAllStandardError().contains(summary));  // the rows in the file, the last too
    for (const QByteArray& row : rows) {
        const auto r = record::parseRow(row);
        QVERIFY2(r, row.constData());
        // The simulator's bytes, scaled: count 4096, MAP 0x80 on range 1, 0xFF, 0x80, 0x14, 0x80.
        QCOMPARE(r->status, Sample::End::Complete);
        QCOMPARE(*r->rpm, 915.5);
        QCOMPARE(*r->advance, 22.5);
        QCOMPARE(*r->map, 17.0);
        QCOMPARE(*r->battery, 18.0);
        QCOMPARE(*r->gpi3Volts, 2.51);
        QCOMPARE((QList<bool>{*r->gpi1, *r->gpi2, *r->gpi3}), (QList<bool>{true, false, true}));
        QVERIFY2(r->elapsed > last, row.constData());
        last = r->elapsed;
    }
}

void TestHeadlessEndToEnd::killLeavesWholeRows() {
    Logger l;
    l.start({"--port", QString::number(kPort), "--rate", "max"});
    QVERIFY(l.rows(50).size() >= 50);
    l.signal(SIGKILL);
    QVERIFY(l.app.waitForFinished(10000));
    const QList<QByteArray> rows = l.rows(0);
    QVERIFY(rows.size() >= 50);
    for (const QByteArray& row : rows)
        QVERIFY2(record::parseRow(row), row.constData());
}

void TestHeadlessEndToEnd::adapterPulledOutAndBackKeepsTheFile() {
    Logger l;
    l.start({"--port", QString::number(kPort), "--rate", "20"});
    QVERIFY(l.rows(10).size() >= 10);
    QVERIFY(l.sim.command("hangup").startsWith("ok"));
    QVERIFY(l.stderrSays("is gone; waiting"));
    const int before = int(l.rows(0).size());
    l.app.write("mark in the gap\n");  // waits for the next row
    QVERIFY(l.stderrSays("which comes once the link is back: in the gap"));
    // Back with stray bytes after its status: no range is taken, and the recording waits.
    QVERIFY(l.sim.command("fault garbage-append 0x2F:2").startsWith("ok"));
    QVERIFY(l.sim.command("replug").startsWith("ok"));
    QVERIFY(l.stderrSays("is back") && l.stderrSays("replies came with stray bytes"));
    QCOMPARE(l.rows(0).size(), before);
    QVERIFY(l.sim.command("clear").startsWith("ok"));
    QVERIFY(l.rows(before + 10).size() >= before + 10);
    l.signal(SIGTERM);
    QVERIFY(l.app.waitForFinished(10000));
    l.err += l.app.readAllStandardError();
    QCOMPARE(l.app.exitCode(), 0);
    // One file: ok rows, the gap marked by its status, ok rows again.
    QStringList statuses;
    for (const QByteArray& row : l.rows(0)) {
        const auto r = record::parseRow(row);
        QVERIFY2(r, row.constData());
        const QString s = record::statusText(r->status);
        if (statuses.isEmpty() || statuses.last() != s)
            statuses << s;
    }
    // The tick the adapter went in ends "link-lost" or "aborted", by the read it went in.
    QVERIFY2(statuses.size() >= 3 && statuses.first() == "ok" && statuses.last() == "ok" &&
                 !statuses.mid(1, statuses.size() - 2).contains("ok"),
             qPrintable(statuses.join(' ') + "\n" + QString::fromLocal8Bit(l.err)));
    const record::Table t = record::readRecording(l.file).recording->table;
    QCOMPARE(t.userMarks.size() == 1 ? t.userMarks[0].text : QString(), QString("in the gap"));
    QCOMPARE(t.column(Value::Map).back(), 17.0f);  // still range 1
}

void TestHeadlessEndToEnd::refusals_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");  // none, plain, symlink, fifo, locked
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QString port = QString::number(kPort);
    const QStringList force{"--port", port, "--force"};
    QTest::newRow("an existing file")
        << QStringList{"--port", port} << "plain" << 3 << "already exists";
    QTest::newRow("no such folder") << QStringList{"--port", port, "--record", "/nonexistent/x.csv"}
                                    << "none" << 3 << "could not be created";
    QTest::newRow("a symbolic link, --force") << force << "symlink" << 3 << "is a symbolic link";
    QTest::newRow("a pipe, --force") << force << "fifo" << 3 << "is a pipe";
    QTest::newRow("a file another logger holds, --force")
        << force << "locked" << 3 << "being recorded to by another";
    QTest::newRow("a port with nothing behind it")
        << QStringList{"--port", "250"} << "none" << 4 << "does not exist";
    QTest::newRow("a device path with nothing behind it")
        << QStringList{"--port", "/dev/nonexistent-tty"} << "none" << 4
        << "/dev/nonexistent-tty does not exist";
    QTest::newRow("a rate out of range") << QStringList{"--rate", "500"} << "none" << 2 << "usage:";
    QTest::newRow("a word for a port") << QStringList{"--port", "usb"} << "none" << 2 << "usage:";
    QTest::newRow("a duration of nothing")
        << QStringList{"--duration", "0"} << "none" << 2 << "usage:";
    QTest::newRow("a mistyped option")
        << QStringList{"--recrod", "x.csv"} << "none" << 2 << "usage:";
    // A formula that cannot be read is refused with muParser's own reason, before the port.
    QTest::newRow("an alarm's formula cut short")
        << QStringList{"--alarm", "low: battery_v <"} << "none" << 2
        << "--alarm \"low: battery_v <\": ";
    QTest::newRow("a start condition on no channel")
        << QStringList{"--start-when", "rmp > 3000"} << "none" << 2 << "rmp";
    QTest::newRow("seconds kept with nothing to start on")
        << QStringList{"--keep-before", "2"} << "none" << 2 << "needs --start-when";
}

void TestHeadlessEndToEnd::refusals() {
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    Logger l;
    const QString target = l.config.path() + "/target.csv";
    QFile kept(file == "symlink" ? target : l.file);
    if (file == "plain" || file == "symlink" || file == "locked") {
        QVERIFY(kept.open(QIODevice::ReadWrite));
        kept.write("kept\n");
        kept.flush();
    }
    if (file == "symlink")
        QVERIFY(QFile::link(target, l.file));
    if (file == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(l.file).constData(), 0600), 0);
    if (file == "locked")
        QCOMPARE(::flock(kept.handle(), LOCK_EX | LOCK_NB), 0);
    l.start(options);
    QVERIFY(l.app.waitForFinished(20000));
    QCOMPARE(l.app.exitCode(), exitCode);
    const QByteArray err = l.app.readAllStandardError();
    QVERIFY2(err.contains(says.toUtf8()), err.constData());
    if (kept.isOpen()) {
        QFile f(kept.fileName());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("kept\n"));
    }
    QCOMPARE(QFileInfo::exists(l.file), file != "none");
}

// Standard error piped into a reader that quit: the messages are lost, the recording is not.
void TestHeadlessEndToEnd::closedStderrKeepsRecording() {
    Logger l;
    const QString rc = l.config.path() + "/rc";
    QProcess sh;
    sh.start("/bin/sh",
             {"-c", "(\"$0\" \"$@\"; echo $? > \"" + rc + "\") 2>&1 | head -c 1 > /dev/null",
              QStringLiteral(IGNIVEX_APP), "--record", l.file, "--port", QString::number(kPort),
              "--rate", "20", "--duration", "2"});
    QVERIFY(sh.waitForFinished(20000));
    QFile f(rc);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().trimmed(), QByteArray("0"));
    QVERIFY(l.rows(0).size() >= 20);
}

// Replies with bytes beyond their length, and a line that streams: no row of them says "ok".
// A line "mark NOTE" on standard input and SIGUSR1 each mark the next row; the review reads
// them back in order.
void TestHeadlessEndToEnd::marksFromInputAndSignal() {
    Logger l;
    QVERIFY(l.sim.ok());
    l.start({"--port", QString::number(kPort), "--rate", "20"});
    QVERIFY(l.rows(5).size() >= 5);
    l.app.write("mark pull 1, 3rd gear\n");
    QVERIFY(l.stderrSays("Marked the next row: pull 1, 3rd gear"));
    l.signal(SIGUSR1);
    QVERIFY(l.stderrSays("Marked the next row: mark 2"));
    l.app.write(QByteArray("mark =cmd|calc!A1\x1b[2J\n").insert(9, '\0'));
    QVERIFY(l.stderrSays("Marked the next row: =cmd |calc!A1 [2J\n"));
    l.app.write("boost\n");
    QVERIFY(l.stderrSays("\"boost\" is not understood"));
    const int before = int(l.rows(0).size());
    QVERIFY(l.rows(before + 3).size() >= before + 3);
    l.signal(SIGINT);
    QVERIFY(l.app.waitForFinished(10000));
    QCOMPARE(l.app.exitCode(), 0);
    const auto read = record::readRecording(l.file);
    QVERIFY(read.recording);
    QStringList marks;
    for (const auto& m : read.recording->table.userMarks)
        marks << m.text;
    QCOMPARE(marks, QStringList({"pull 1; 3rd gear", "mark 2", "=cmd |calc!A1 [2J"}));
}

// A storm of SIGUSR1 (from a thread, bounded in count and time) neither holds the logger nor
// stops the other signals: the run ends by itself, and a row holds one mark at most.
void TestHeadlessEndToEnd::signalStorm_data() {
    QTest::addColumn<bool>("sigterm");
    QTest::newRow("the duration ends it") << false;
    QTest::newRow("SIGTERM amid the storm ends it") << true;
}

void TestHeadlessEndToEnd::signalStorm() {
    QFETCH(bool, sigterm);
    Logger l;
    l.start(
        {"--port", QString::number(kPort), "--rate", "max", "--duration", sigterm ? "60" : "6"});
    QVERIFY(l.rows(20).size() >= 20);
    const pid_t pid = pid_t(l.app.processId());
    std::atomic<int> sent{0};
    std::thread storm([&] {
        for (const QDeadlineTimer end(3000); sent < 200000 && !end.hasExpired(); ++sent)
            ::kill(pid, sigterm && sent == 20000 ? SIGTERM : SIGUSR1);
    });
    storm.join();
    QVERIFY(l.app.waitForFinished(30000));
    QCOMPARE(l.app.exitCode(), 0);
    const record::Table t = record::readRecording(l.file).recording->table;
    QVERIFY(!t.userMarks.empty() && (sigterm || t.elapsed.back() > 5.0));
    for (const auto& m : t.userMarks)  // a row's cell holds its marks joined by "; "
        QVERIFY2(!m.text.contains(';'), qPrintable(m.text));
}

// A status that comes with stray bytes at every read names no range: nothing is recorded.
void TestHeadlessEndToEnd::garbageIsNotOk_data() {
    QTest::addColumn<QStringList>("fault");
    QTest::newRow("random bytes instead of the battery reply")
        << QStringList{"--garbage", "0x23:4"};
    QTest::newRow("bytes after the status") << QStringList{"--garbage-append", "0x2F:1"};
    QTest::newRow("a line that streams") << QStringList{"--stream"};
}

void TestHeadlessEndToEnd::garbageIsNotOk() {
    QFETCH(QStringList, fault);
    Logger l(fault);
    l.start({"--port", QString::number(kPort), "--rate", "20"});
    if (fault.contains("0x2F:1") || fault.contains("--stream")) {
        // A stream overflows the 256-byte receive buffer whenever the reader falls 46 ms
        // behind (a slow build, a busy machine): then the opening may find no link, or no
        // status, and the logger goes on as for a module that does not answer. Its rows, if
        // any, say "surplus"; no row is "ok".
        if (fault.contains("--stream") && l.stderrSays("Recording 20 per second")) {
            QTest::qWait(2500);  // two more openings, a second apart
            l.signal(SIGTERM);
            QVERIFY(l.app.waitForFinished(10000));
            QCOMPARE(l.app.exitCode(), 0);
            for (const QByteArray& row : l.rows(0)) {
                const auto r = record::parseRow(row);
                QVERIFY2(r && r->status != Sample::End::Complete, row.constData());
            }
            return;
        }
        const bool ended =
            l.app.state() == QProcess::NotRunning || l.app.waitForFinished(20000);
        const QByteArray err = l.err + l.app.readAllStandardError();
        QVERIFY2(ended, err.constData());
        QCOMPARE(l.app.exitCode(), 4);
        QVERIFY(err.contains("MAP range is unknown and " + l.file.toUtf8()));
        QVERIFY(!QFileInfo::exists(l.file));
        return;
    }
    QVERIFY(l.rows(10).size() >= 10);
    l.signal(SIGTERM);
    QVERIFY(l.app.waitForFinished(10000));
    for (const QByteArray& row : l.rows(0)) {
        const auto r = record::parseRow(row);
        QVERIFY2(r && r->status != Sample::End::Complete, row.constData());
    }
}

// --start-when against the simulator: a stretch of its own for each time the engine speed
// passes 3000 rpm (the rows of up to 5 s before it at its top, the first after it marked), an
// alarm said on standard error and marked, and the link lost while armed: the gap's row is
// among the rows the next stretch keeps from before.
void TestHeadlessEndToEnd::startsItselfInStretches() {
    Logger l;
    QVERIFY(l.sim.ok());
    const QString first = l.config.path() + "/run-1.csv";
    const QString second = l.config.path() + "/run-2.csv";
    l.start({"--port", QString::number(kPort), "--rate", "20", "--start-when", "rpm > 3000",
             "--stop-after", "0.5", "--alarm", "fast: rpm > 5000"});
    QVERIFY(l.stderrSays("Armed: recording 20 per second"));
    QTest::qWait(500);
    QVERIFY(!QFileInfo::exists(first));
    QVERIFY(l.sim.command("set rpm 4000").startsWith("ok"));
    QVERIFY(l.stderrSays("Started: rpm > 3000 is true; recording to " + first));
    QVERIFY(l.sim.command("set rpm 6000").startsWith("ok"));
    QVERIFY(l.stderrSays("Alarm: fast (rpm > 5000)."));
    QVERIFY(l.sim.command("set rpm 900").startsWith("ok"));
    QVERIFY(l.stderrSays("Alarm cleared: fast."));
    QVERIFY(l.stderrSays("Stopped: 0.5 s after rpm > 3000 turned false; " + first));
    QVERIFY(l.sim.command("hangup").startsWith("ok"));
    QVERIFY(l.stderrSays("is gone; waiting"));
    QVERIFY(l.sim.command("replug").startsWith("ok"));
    QVERIFY(l.stderrSays("is back"));
    QVERIFY(l.sim.command("set rpm 4000").startsWith("ok"));
    QVERIFY(l.stderrSays("recording to " + second));
    l.signal(SIGINT);
    QVERIFY(l.app.waitForFinished(10000));
    QCOMPARE(l.app.exitCode(), 0);
    QVERIFY(l.stderrSays("Recorded 2 stretches: " + first));
    QVERIFY(!QFileInfo::exists(l.file));

    for (const QString& path : {first, second}) {
        const record::Table t = record::readRecording(path).recording->table;
        QVERIFY(!t.userMarks.empty());
        const std::size_t start = t.userMarks.front().row;
        QVERIFY2(t.userMarks.front().text.startsWith("start: rpm > 3000"),
                 qPrintable(t.userMarks.front().text));
        const auto& rpm = t.column(Value::Rpm);
        QVERIFY(rpm[start] > 3000);
        // Before it: the rows of at most 5 s, none above 3000 (NaN where the link was lost).
        QVERIFY(start > 0 && t.elapsed[start] <= 5.0 + 0.06);
        bool gap = false;
        for (std::size_t r = 0; r < start; ++r) {
            QVERIFY(!(rpm[r] > 3000));
            gap = gap || t.status[r] != std::uint8_t(Sample::End::Complete);
        }
        QCOMPARE(gap, path == second);
        if (path == first) {
            QVERIFY(std::any_of(t.userMarks.begin(), t.userMarks.end(),
                                [](const auto& m) { return m.text == "alarm: fast"; }));
            // It ends 0.5 s after the speed fell: the last rows are the slow ones.
            QVERIFY(rpm.back() < 3000);
        }
    }
}

QTEST_GUILESS_MAIN(TestHeadlessEndToEnd)
#include "tst_headless_e2e.moc"
