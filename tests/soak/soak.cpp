// soak: the real main window and the real serial layer against the module simulator, with
// random faults on the line and random answers to every prompt, for N minutes. It reports
// crashes, sanitizer reports, hangs of the window over 3 s, the prompts shown, and the CPU and
// resident memory at the start and the end. Meanwhile it records from the window as fast as the
// link allows, a new file each time the view has closed, and at the end reads every file back:
// every row must parse, and no row may say "ok" with an empty cell or a value the module's
// scaling cannot produce.
//
// The run is split in two processes: this supervisor, which starts the worker (the same program
// with --worker), restarts it if it dies before the time is up, and reads its error output for
// sanitizer reports; and the worker, which holds the window.

#include "app/QtMessageBoxes.h"
#include "app/frmMain.h"
#include "display/PortSetupPanel.h"
#include "display/RealTimePanel.h"
#include "app/RecordingControl.h"
#include "link/ModuleLine.h"
#include "link/Scaling.h"
#include "record/RecordFormat.h"
#include "support/ScriptedRecordPrompts.h"
#include "link/QtSerialControl.h"
#include "base/AppIdentity.h"
#include "base/Clock.h"
#include "base/Module1.h"
#include "support/SimProcess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <sys/resource.h>

using namespace ignivex;

namespace {

constexpr qint64 kHangMs = 3000;
// The worker's exit status when a recording read back holds a row it should not.
constexpr int kRecordingFaults = 3;

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

void say(const char* format, auto... args) {
    std::printf(format, args...);
    std::fflush(stdout);
}

// The real message boxes, each answered by a click on a random button of its set after a
// random moment, as a user would.
class AnsweringBoxes : public MessageBoxes {
public:
    explicit AnsweringBoxes(std::mt19937& random) : random_(random) {}
    int show(const QString& text, int style, const QString& title) override {
        ++byTitle[title];
        ++byText[text.left(60)];
        deepest = std::max(deepest, ++open);
        const bool lineFault = title == QLatin1String("Communications Error");
        if (lineFault)
            deepestLineFault = std::max(deepestLineFault, ++openLineFault);
        const int delay =
            fixedDelayMs > 0 ? fixedDelayMs : std::uniform_int_distribution<int>(30, 1500)(random_);
        const int pick = fixedDelayMs > 0 ? 0 : std::uniform_int_distribution<int>(0, 2)(random_);
        QTimer::singleShot(delay, [pick] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            const auto buttons = box->buttons();
            if (!buttons.isEmpty())
                buttons[pick % buttons.size()]->click();
        });
        const int answer = real_.show(text, style, title);
        --open;
        if (lineFault)
            --openLineFault;
        return answer;
    }
    // A user who reads each box for this long and answers with its first button (Retry in a
    // line-fault report); 0 for random moments and buttons.
    int fixedDelayMs = 0;
    int open = 0;
    int deepest = 0;
    int openLineFault = 0;
    int deepestLineFault = 0;
    QMap<QString, int> byTitle;
    QMap<QString, int> byText;

private:
    std::mt19937& random_;
    QtMessageBoxes real_;
};

struct Fault {
    const char* name;
    QStringList on;
};

// A device that streams bytes without end while the user opens the view: how many line-fault
// boxes come, how many are open at once, and how soon File, Exit ends the program once the
// stream has stopped.
int endlessBytes(QApplication& app, frmMain& window, test::SimProcess& sim, AnsweringBoxes& boxes,
                 int seconds, const int& ended) {
    boxes.fixedDelayMs = 1000;
    sim.command(QStringLiteral("fault stream"));
    QElapsedTimer clock;
    clock.start();
    QTimer opener;
    // The user tries again and again: close the view if it came up, open it anew.
    QObject::connect(&opener, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget())
            return;
        if (window.fraRealTimeData()->isVisible())
            window.fraRealTimeData()->cmdCloseRealTimeData->click();
        window.mnuViewRealTime_Click();
    });
    opener.start(3000);
    QTimer::singleShot(seconds * 1000, [&] {
        opener.stop();
        sim.command(QStringLiteral("clear stream"));
        const int shown = boxes.byTitle.value(QStringLiteral("Communications Error"));
        int all = 0;
        for (int n : boxes.byTitle)
            all += n;
        say("endless bytes for %d s: %d Communications Error boxes, at most %d of them open at "
            "once; %d boxes of any kind, at most %d open at once\n",
            seconds, shown, boxes.deepestLineFault, all, boxes.deepest);
        for (auto it = boxes.byText.begin(); it != boxes.byText.end(); ++it)
            say("  %5d x %s\n", it.value(), qPrintable(it.key().simplified()));
        const qint64 stopped = clock.elapsed();
        // File, Exit as soon as no box is open (a modal box takes the menu's input meanwhile).
        QTimer* exit = new QTimer(&app);
        QObject::connect(exit, &QTimer::timeout, [&, exit, stopped] {
            if (QApplication::activeModalWidget())
                return;
            exit->stop();
            const qint64 chosen = clock.elapsed();
            window.mnuExit_Click();
            say("File, Exit: chosen %lld ms after the stream stopped, program ended %lld ms after "
                "it was chosen (%d)\n",
                chosen - stopped, clock.elapsed() - chosen, ended);
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        });
        exit->start(10);
    });
    app.exec();
    sim.stop();
    return 0;
}

// The cells the module's scaling can produce, as the file writes them, per column.
struct Producible {
    QSet<QByteArray> rpm, advance, map, battery, gpi3;
    explicit Producible(int rangeCode) {
        for (int b = 0; b < 256; ++b) {
            const auto byte = std::uint8_t(b);
            advance << QByteArray::number(double(scaling::advance(byte)), 'f', 3);
            map << QByteArray::number(double(scaling::map(byte, std::int16_t(rangeCode))), 'f', 1);
            battery << QByteArray::number(double(scaling::battery(byte)), 'f', 3);
            gpi3 << QByteArray::number(double(scaling::gpi3(byte)), 'f', 3);
        }
        for (int count = 1; count < 65536; ++count)
            rpm << QByteArray::number(
                double(scaling::rpm(std::uint8_t(count & 0xFF), std::uint8_t(count >> 8))), 'f', 1);
    }
};

// Reads the recordings back; says what it found and returns the number of faults.
int checkRecordings(const QStringList& files) {
    int faults = 0;
    qint64 rows = 0;
    QMap<QString, qint64> statuses;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;  // a recording without a row leaves no file
        int rangeCode = 1;
        bool inRows = false;
        std::optional<Producible> producible;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (!inRows) {
                if (line.startsWith("# map range: "))
                    rangeCode = line.mid(13, 1).toInt();
                inRows = record::isHeaderRow(line);
                continue;
            }
            if (line.isEmpty())
                continue;
            ++rows;
            QString why;
            const auto row = record::parseRow(line, &why);
            if (!row) {
                if (++faults <= 10)
                    say("recording fault: %s: a row does not parse (%s): %s\n", qPrintable(path),
                        qPrintable(why), line.constData());
                continue;
            }
            ++statuses[record::statusText(row->status)];
            if (row->status != Sample::End::Complete)
                continue;
            if (!producible)
                producible.emplace(rangeCode);
            const QList<QByteArray> cells = line.split(',');
            const QList<std::pair<int, const QSet<QByteArray>*>> checked = {
                {2, &producible->rpm},
                {3, &producible->advance},
                {4, &producible->map},
                {5, &producible->battery},
                {6, &producible->gpi3}};
            for (const auto& [column, values] : checked) {
                const bool empty = cells[column].isEmpty();
                if (column == 4 && rangeCode == 0 && empty)
                    continue;
                if (empty || !values->contains(cells[column])) {
                    if (++faults <= 10)
                        say("recording fault: %s: an ok row with %s \"%s\": %s\n", qPrintable(path),
                            qPrintable(record::kColumns[column]), cells[column].constData(),
                            line.constData());
                    break;
                }
            }
        }
    }
    say("recordings: %lld files, %lld rows, %d faults\n", qlonglong(files.size()), qlonglong(rows),
        faults);
    for (auto it = statuses.begin(); it != statuses.end(); ++it)
        say("  status %s: %lld\n", qPrintable(it.key()), qlonglong(it.value()));
    return faults;
}

int worker(int argc, char* argv[], double minutes, unsigned seed, int streamSeconds) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());

    const double cpuStart = cpuSeconds();
    const double rssStart = residentMb();
    say("worker: seed %u, %.1f minutes; cpu %.2f s, resident %.1f MB at start\n", seed, minutes,
        cpuStart, rssStart);

    std::mt19937 random(seed);
    auto chance = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    test::SimProcess sim(
        QStringLiteral(IGNIVEX_SIM),
        {QStringLiteral("--link"), QStringLiteral("1"), QStringLiteral("--engine"),
         QStringLiteral("--paced"), QStringLiteral("--seed"), QString::number(seed)});
    if (!sim.ok()) {
        say("worker: the simulator did not start\n");
        return 2;
    }

    SteadyClock clock;
    QtSerialControl port(clock);
    AnsweringBoxes boxes(random);
    static Module1 state;
    int ended = 0;
    test::ScriptedRecordPrompts recordPrompts;
    recordPrompts.chosenRate = Rate{0};
    frmMain window({port, clock, boxes, state, [&ended] { ++ended; },
                    QStringLiteral(IGNIVEX_BIN_DIR), &recordPrompts});
    window.Show();
    if (streamSeconds > 0)
        return endlessBytes(app, window, sim, boxes, streamSeconds, ended);

    // The window's heartbeat, watched from another thread: a GUI thread that stops answering for
    // more than 3 s is a hang, whatever it is doing.
    std::atomic<qint64> beat{0};
    QElapsedTimer since;
    since.start();
    QTimer heart;
    QObject::connect(&heart, &QTimer::timeout, [&] { beat = since.elapsed(); });
    heart.start(100);
    std::atomic<bool> stop{false};
    std::atomic<int> hangs{0};
    std::atomic<qint64> longest{0};
    std::thread watchdog([&] {
        bool inHang = false;
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const qint64 silent = since.elapsed() - beat;
            longest = std::max<qint64>(longest, silent);
            if (silent > kHangMs && !inHang) {
                ++hangs;
                say("hang: the window has not answered for %.1f s\n", silent / 1000.0);
            }
            inHang = silent > kHangMs;
        }
    });

    // Faults on the line: one at a time, each for a few seconds, and healthy spells between.
    const QList<Fault> faults = {
        {"silence", {"fault silent all"}},
        {"wrong sync reply", {"set sync-reply 0x15"}},
        {"short reply", {"fault short 0x20", "fault short 0x23"}},
        {"late reply", {"fault late 0x24:1300", "fault late 0x26:400"}},
        {"garbage", {"fault garbage 0x24:2", "fault garbage-append 0x22:40"}},
        {"ID without CR", {"fault id-no-cr"}},
        {"endless bytes", {"fault stream"}},
        {"hang-up and re-link", {"hangup"}},
    };
    QMap<QString, int> injected;
    bool hungUp = false;
    QTimer faultTimer;
    QObject::connect(&faultTimer, &QTimer::timeout, [&] {
        sim.command(QStringLiteral("clear"));
        sim.command(QStringLiteral("set sync-reply 0x06"));
        if (hungUp) {
            sim.command(QStringLiteral("replug"));
            hungUp = false;
        }
        if (chance(0, 2) > 0) {
            const Fault& fault = faults[chance(0, int(faults.size()) - 1)];
            for (const QString& line : fault.on)
                sim.command(line);
            hungUp = fault.on.first() == QLatin1String("hangup");
            ++injected[QString::fromLatin1(fault.name)];
        } else {
            ++injected[QStringLiteral("(healthy)")];
        }
        faultTimer.start(chance(1000, 6000));
    });
    faultTimer.start(2000);

    // What a user does: open and close the view, Esc, About, a port pick. Input waits while a
    // blocking wait runs, exactly as the platform's input does.
    QMap<QString, int> actions;
    QStringList recordings;
    QTimer userTimer;
    QObject::connect(&userTimer, &QTimer::timeout, [&] {
        userTimer.start(chance(300, 3000));
        if (port.waiting() || QApplication::activeModalWidget())
            return;
        // Recording at the link's pace whenever the view is open, a new file each time.
        if (state.viewActive && !window.recording().recording()) {
            recordPrompts.path =
                config.filePath(QStringLiteral("soak-%1.csv").arg(recordings.size()));
            recordings << *recordPrompts.path;
            window.recording().mnuRecord_Click();
        }
        switch (chance(0, 9)) {
        case 0:
        case 1:
        case 2:
            ++actions[QStringLiteral("open view")];
            window.mnuViewRealTime_Click();
            break;
        case 3:
        case 4:
            ++actions[QStringLiteral("close view")];
            window.fraRealTimeData()->cmdCloseRealTimeData->click();
            break;
        case 5: {
            ++actions[QStringLiteral("Esc")];
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier,
                            QStringLiteral("\x1b"));
            QCoreApplication::sendEvent(&window, &press);
            break;
        }
        case 6:
            ++actions[QStringLiteral("About")];
            window.mnuAbout_Click();
            break;
        case 7:
            ++actions[QStringLiteral("pick Com1")];
            window.fraPortSelect()->cboPort->setCurrentIndex(0);
            window.cboPort_Click();
            break;
        default:
            break;  // a user who only watches
        }
    });
    userTimer.start(1000);

    QTimer minuteTimer;
    int minute = 0;
    QObject::connect(&minuteTimer, &QTimer::timeout, [&] {
        say("minute %d: resident %.1f MB, cpu %.1f s, hangs %d\n", ++minute, residentMb(),
            cpuSeconds(), int(hangs));
    });
    minuteTimer.start(60000);

    QTimer::singleShot(int(minutes * 60000), [&] {
        faultTimer.stop();
        userTimer.stop();
        // Whatever box is open gets its answer; the run ends at the top level. exit(), not
        // quit(): quit() first asks the windows to close, and a box without an Escape button
        // (Abort, Retry, Ignore) refuses, which left the worker running past its time.
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    });
    app.exec();
    stop = true;
    watchdog.join();
    window.recording().finish();
    const int recordingFaults = checkRecordings(recordings);

    const double cpuEnd = cpuSeconds();
    say("hangs over 3 s: %d (longest silence %.1f s)\n", int(hangs), longest / 1000.0);
    int prompts = 0;
    for (int n : boxes.byTitle)
        prompts += n;
    say("prompts shown: %d\n", prompts);
    for (auto it = boxes.byTitle.begin(); it != boxes.byTitle.end(); ++it)
        say("  title \"%s\": %d\n", qPrintable(it.key()), it.value());
    for (auto it = boxes.byText.begin(); it != boxes.byText.end(); ++it)
        say("  %5d x %s\n", it.value(), qPrintable(it.key().simplified()));
    for (auto it = injected.begin(); it != injected.end(); ++it)
        say("  fault %s: %d\n", qPrintable(it.key()), it.value());
    for (auto it = actions.begin(); it != actions.end(); ++it)
        say("  action %s: %d\n", qPrintable(it.key()), it.value());
    say("cpu: %.2f s at start, %.2f s at end (%.1f %% of one core)\n", cpuStart, cpuEnd,
        100.0 * (cpuEnd - cpuStart) / (minutes * 60.0));
    say("resident memory: %.1f MB at start, %.1f MB at end\n", rssStart, residentMb());
    say("worker: done\n");
    sim.stop();
    return recordingFaults > 0 ? kRecordingFaults : 0;
}

int supervise(int argc, char* argv[], double minutes, unsigned seed) {
    QCoreApplication app(argc, argv);
    const QString errors = QDir::temp().filePath(QStringLiteral("soak-%1.stderr").arg(seed));
    QFile::remove(errors);
    QElapsedTimer run;
    run.start();
    int crashes = 0;
    int starts = 0;
    bool recordingFaults = false;
    while (run.elapsed() < qint64(minutes * 60000) - 5000) {
        const double left = minutes - run.elapsed() / 60000.0;
        QProcess worker;
        worker.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        worker.setStandardErrorFile(errors, QIODevice::Append);
        worker.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--worker"), QString::number(left, 'f', 3),
                      QStringLiteral("--seed"), QString::number(seed + unsigned(starts))});
        ++starts;
        if (!worker.waitForStarted()) {
            say("soak: the worker did not start\n");
            return 2;
        }
        worker.waitForFinished(-1);
        if (worker.exitStatus() == QProcess::NormalExit && worker.exitCode() == kRecordingFaults) {
            recordingFaults = true;
            break;
        }
        if (worker.exitStatus() == QProcess::CrashExit || worker.exitCode() != 0) {
            ++crashes;
            say("crash: the worker ended with %s %d after %.1f minutes\n",
                worker.exitStatus() == QProcess::CrashExit ? "signal" : "status", worker.exitCode(),
                run.elapsed() / 60000.0);
        } else {
            break;
        }
    }
    int reports = 0;
    QFile log(errors);
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (line.contains("ERROR: AddressSanitizer") || line.contains("ERROR: LeakSanitizer") ||
                line.contains("runtime error:")) {
                ++reports;
                say("sanitizer: %s\n", line.constData());
            }
        }
    }
    say("soak: %.1f minutes, seed %u, %s build; crashes %d, sanitizer reports %d, recordings %s "
        "(worker's error output in %s)\n",
        run.elapsed() / 60000.0, seed, IGNIVEX_BUILD_TYPE, crashes, reports,
        recordingFaults ? "with faults" : "sound", qPrintable(errors));
    return crashes == 0 && reports == 0 && !recordingFaults ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    double minutes = 10;
    unsigned seed = 1;
    int streamSeconds = 0;
    bool isWorker = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--worker" && i + 1 < argc) {
            isWorker = true;
            minutes = QByteArray(argv[++i]).toDouble();
        } else if (arg == "--minutes" && i + 1 < argc) {
            minutes = QByteArray(argv[++i]).toDouble();
        } else if (arg == "--endless-bytes" && i + 1 < argc) {
            streamSeconds = QByteArray(argv[++i]).toInt();
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = QByteArray(argv[++i]).toUInt();
        } else {
            std::fprintf(stderr,
                         "usage: soak [--minutes N] [--seed S]\n"
                         "       soak --endless-bytes SECONDS\n"
                         "Drives the real main window and serial layer against the module "
                         "simulator for N minutes (default 10) with random faults and random "
                         "answers; exit status 0 when nothing crashed and no sanitizer spoke.\n"
                         "--endless-bytes: the module streams bytes while the view is opened, "
                         "each box answered Retry after a second; counts the boxes and times "
                         "File, Exit once the stream stops.\n");
            return 2;
        }
    }
    if (!(minutes > 0)) {
        std::fprintf(stderr, "soak: --minutes takes a positive number\n");
        return 2;
    }
    if (streamSeconds > 0)
        return worker(argc, argv, minutes, seed, streamSeconds);
    return isWorker ? worker(argc, argv, minutes, seed, 0) : supervise(argc, argv, minutes, seed);
}
