// Figures for recording at "as fast as the link allows" against the simulator paced at the
// wire speed: samples a second next to the link's floor, CPU share, bytes written a second and
// resident memory; once with no window (the program itself, --record) and once in the window.
// It prints; it never judges.
#include "BenchSupport.h"

#include "app/RecordingControl.h"
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

qint64 dataRows(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    qint64 rows = 0;
    bool header = false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (header && line.endsWith('\n'))
            ++rows;
        header = header || line.startsWith("time,");
    }
    return rows;
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
    const double cpu = ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) -
                       ms(before.ru_stime);
    // The run includes start-up and the opening: count over the whole of it.
    printFigures("No window (Ignivex_Log --record ... --rate max --duration N)", wall,
                 dataRows(file), QFileInfo(file).size(), cpu, after.ru_maxrss);
    return true;
}

bool window(const QString& dir, int seconds) {
    test::ScriptedRecordPrompts prompts;
    prompts.path = dir + "/window.csv";
    prompts.chosenRate = Rate{0};
    AppRig rig(QStringLiteral(IGNIVEX_SIM), kPort, {"--engine", "--paced"},
               QCoreApplication::applicationDirPath(), &prompts);
    if (!rig.sim.ok())
        return false;
    rig.window.Show();
    rig.window.recording().mnuRecord_Click();
    if (!rig.window.recording().recording() || rig.boxes.count() != 0) {
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

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0) {
            std::printf("Usage: bench_record [--seconds N]   (default 30 for each run)\n");
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
    if (!headless(dir.path(), seconds) || !window(dir.path(), seconds))
        return 1;
    printLoadAtEnd();
    return 0;
}
