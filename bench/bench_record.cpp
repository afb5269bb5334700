// Figures for recording at "as fast as the link allows" against the simulator paced at the
// wire speed: samples a second next to the link's floor, CPU share, bytes written a second and
// resident memory; once with no window (the program itself, --record) and once in the window.
// With --hostile, the window records while the review opens files no recorder writes (values
// of 1e17 and 1e308, times 13 digits long or all equal, a million "#" lines, a line of 100 MB):
// samples a second and the longest pause between rows while each is open, and resident memory
// before, with and after each. It prints; it never judges.
#include "BenchRecording.h"
#include "BenchSupport.h"

#include "app/RecordingControl.h"
#include "app/ChartWindows.h"
#include "review/ReviewWindow.h"
#include "support/ScriptedRecordPrompts.h"
#include "support/SimRigs.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <sys/wait.h>

using namespace ignivex;
using namespace ignivex::bench;
using ignivex::test::AppRig;

namespace {

constexpr int kPort = 1;
// One tick: 12 bytes on the wire at 178.6 us a byte, and five 2 ms pauses.
constexpr double kFloorTickMs = 12 * 10.0 / 56.0 + 10.0;

void letEventsRun(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}


void printFigures(const char* title, double seconds, qint64 rows, qint64 bytes, double cpuMs,
                  long rssKb) {
    const double rate = rows / seconds;
    const double floor = 1000.0 / kFloorTickMs;
    std::printf("\n%s\n", title);
    std::printf("  %-34s %10.1f s\n", "recorded for", seconds);
    std::printf("  %-34s %10lld\n", "rows", static_cast<long long>(rows));
    std::printf("  %-34s %10.1f /s  (floor %.1f /s: %.2f ms a tick; %.2f of it)\n",
                "samples a second", rate, floor, kFloorTickMs, rate / floor);
    std::printf("  %-34s %10.2f %%  of one CPU\n", "CPU share", 100.0 * cpuMs / (seconds * 1000.0));
    std::printf("  %-34s %10.0f B/s\n", "bytes written a second", bytes / seconds);
    std::printf("  %-34s %10ld kB\n", "peak resident set", rssKb);
    std::fflush(stdout);
}

test::ScriptedRecordPrompts promptsFor(const QString& path) {
    test::ScriptedRecordPrompts prompts;
    prompts.path = path;
    prompts.chosenRate = Rate{0};
    return prompts;
}

// The main window against the paced, moving simulator, recording to `path` as fast as the
// link allows (File, Record...).
struct RecordingWindow {
    test::ScriptedRecordPrompts prompts;
    AppRig rig;
    explicit RecordingWindow(const QString& path)
        : prompts(promptsFor(path)),
          rig(QStringLiteral(IGNIVEX_SIM), kPort, {"--engine", "--paced"},
              QCoreApplication::applicationDirPath(), &prompts) {
        if (rig.sim.ok()) {
            rig.window.Show();
            rig.window.recording().mnuRecord_Click();
        }
    }
    bool started() { return rig.sim.ok() && rig.window.recording().recording(); }
};

bool headless(const QString& dir, int seconds) {
    test::SimProcess sim(QStringLiteral(IGNIVEX_SIM),
                         {"--link", QString::number(kPort), "--engine", "--paced"});
    if (!sim.ok())
        return false;
    const QString file = dir + "/headless.csv";
    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto start = Steady::now();
    app.start(QStringLiteral(IGNIVEX_APP),
              {"--record", file, "--port", QString::number(kPort), "--rate", "max", "--duration",
               QString::number(seconds)});
    if (!app.waitForFinished((seconds + 30) * 1000) || app.exitCode() != 0) {
        std::fprintf(stderr, "bench_record: the headless run failed (exit %d)\n", app.exitCode());
        return false;
    }
    const double wall = microsSince(start) / 1e6;
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    const double cpu =
        ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
    // The run includes start-up and the opening: count over the whole of it.
    printFigures("No window (Ignivex_Log --record ... --rate max --duration N)", wall,
                 dataRows(file), QFileInfo(file).size(), cpu, after.ru_maxrss);
    return true;
}

bool window(const QString& dir, int seconds) {
    RecordingWindow w(dir + "/window.csv");
    AppRig& rig = w.rig;
    const test::ScriptedRecordPrompts& prompts = w.prompts;
    if (!w.started() || rig.boxes.count() != 0) {
        std::fprintf(stderr, "bench_record: the recording did not start: %s\n",
                     qPrintable(rig.boxes.texts().join(" | ")));
        return false;
    }
    const CpuTimes cpu0 = cpuTimes();
    const auto start = Steady::now();
    letEventsRun(seconds * 1000);
    const double wall = microsSince(start) / 1e6;
    const CpuTimes cpu1 = cpuTimes();
    const RecordingSession::Progress p = rig.window.recording().session().progress();
    rig.window.recording().mnuStopRecording_Click();
    printFigures("In the window (File, Record..., as fast as the link allows)", wall, p.samples,
                 QFileInfo(*prompts.path).size(), cpu1.total() - cpu0.total(), maxRssKb());
    std::printf("  %-34s %10d\n", "message boxes", rig.boxes.count());
    return true;
}

// The longest time between two rows whose elapsed_s lies in [from, to).
double longestPause(const QString& file, double from, double to) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    double last = -1, longest = 0;
    while (!f.atEnd()) {
        const QList<QByteArray> cells = f.readLine().split(',');
        if (cells.size() != 11)
            continue;
        bool ok = false;
        const double t = cells[1].toDouble(&ok);
        if (!ok || t < from || t >= to)
            continue;
        if (last >= 0)
            longest = std::max(longest, t - last);
        last = t;
    }
    return longest;
}

bool hostile(const QString& dir, int seconds) {
    auto write = [&](const QString& name, const QByteArray& body) {
        QFile f(dir + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(
            "# recording: "
            "hostile\ntime,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status\n");
        f.write(body);
        return f.fileName();
    };
    auto row = [](const QByteArray& elapsed, const QByteArray& v) {
        return "2026-12-08T14:00:00.000+00:00," + elapsed + "," + v + "," + v + "," + v + "," + v +
               "," + v + ",1,0,1,ok\n";
    };
    auto tenTo = [](int n) { return QByteArray("1") + QByteArray(n, '0'); };
    QList<std::pair<const char*, QString>> files;
    files.append({"values of 1e17", write("volts.csv", row("0", tenTo(17)) + row("1", tenTo(17)))});
    files.append({"elapsed 0 and 1e13", write("times.csv", row("0", "1") + row(tenTo(13), "2"))});
    files.append(
        {"values of 1e308", write("huge.csv", row("0", tenTo(308)) + row("1", "-" + tenTo(308)))});
    files.append({"equal times", write("equal.csv", row("5", "1").repeated(1000))});
    {
        QFile f(dir + "/hashes.csv");
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < 1000000; ++i)
            f.write("# a line of a file that is all comment\n");
        f.write("time,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status\n" +
                row("0", "1"));
        files.append({"a million # lines", f.fileName()});
    }
    files.append(
        {"a line of 100 MB", write("long.csv", row("0", "1") + QByteArray(100 << 20, '7') + "\n")});

    RecordingWindow w(dir + "/hostile-window.csv");
    AppRig& rig = w.rig;
    if (!w.started())
        return false;
    RecordingSession& session = rig.window.recording().session();
    std::printf(
        "\nIn the window, recording as fast as the link allows while the review opens "
        "hostile files (%d s each)\n",
        seconds);
    std::printf("  %-22s %12s %12s %14s %10s %10s %10s\n", "file", "rows/s before", "rows/s open",
                "longest pause", "RSS before", "RSS open", "RSS after");
    for (const auto& [name, path] : files) {
        const qint64 rows0 = session.progress().samples;
        const double t0 = session.progress().elapsedS;
        letEventsRun(seconds * 1000);
        const qint64 rows1 = session.progress().samples;
        const double t1 = session.progress().elapsedS;
        const long rssBefore = statusKb("VmRSS:").value_or(0);
        rig.window.charts().openRecording(path);
        chart::ReviewWindow* review = rig.window.charts().reviewWindow();
        // Open for the same time, repainted as a user's pointer would make it.
        const auto start = Steady::now();
        while (microsSince(start) < seconds * 1e6) {
            review->chart()->update();
            letEventsRun(100);
        }
        const qint64 rows2 = session.progress().samples;
        const double t2 = session.progress().elapsedS;
        const long rssOpen = statusKb("VmRSS:").value_or(0);
        review->close();
        letEventsRun(500);
        const long rssAfter = statusKb("VmRSS:").value_or(0);
        std::printf("  %-22s %12.1f %12.1f %11.0f ms %7ld kB %7ld kB %7ld kB\n", name,
                    (rows1 - rows0) / (t1 - t0), (rows2 - rows1) / (t2 - t1),
                    1000.0 * longestPause(*w.prompts.path, t1, t2), rssBefore, rssOpen, rssAfter);
        std::fflush(stdout);
    }
    rig.window.recording().mnuStopRecording_Click();
    std::printf("  %-22s %12d\n", "message boxes", rig.boxes.count());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: bench_record [--seconds N] [--hostile]   (default 30 for each run)\n");
            return 0;
        }
    }
    const int seconds = intOption(argc, argv, "--seconds", 30);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    printMachineContext("bench_record: recording at the link's pace against module-sim (paced)");
    test::IsolatedConfig config;
    QTemporaryDir dir;
    bool hostileOnly = false;
    for (int i = 1; i < argc; ++i)
        hostileOnly = hostileOnly || qstrcmp(argv[i], "--hostile") == 0;
    if (hostileOnly) {
        if (!hostile(dir.path(), std::min(seconds, 10)))
            return 1;
    } else if (!headless(dir.path(), seconds) || !window(dir.path(), seconds)) {
        return 1;
    }
    printLoadAtEnd();
    return 0;
}
