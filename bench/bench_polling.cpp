// Figures for the live view: how long one polling tick takes with the real main window and the
// real serial layer against the simulator, unpaced and at the wire speed, and what share of a
// CPU the program uses while the view runs on its own timer. It prints; it never judges. On
// Windows it runs under Wine through the COM port mapped to the simulator (bench/windows).
#include "BenchSupport.h"

#include "recovery/CommError.h"
#include "acquire/Acquisition.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "support/SimRigs.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

using namespace ignivex;
using namespace ignivex::bench;
using ignivex::test::AppRig;
using ignivex::test::LinkRig;

namespace {

constexpr int kPort = 1;
// One tick reads GPI (2 reply bytes), MAP (1), battery (1), RPM (2) and advance (1).
constexpr int kReadsPerTick = 5;
constexpr int kTickWireBytes = kReadsPerTick + 2 + 1 + 1 + 2 + 1;
constexpr double kPausesPerTickUs = kReadsPerTick * 2000.0;

struct App : AppRig {
    App()
        : AppRig(QStringLiteral(IGNIVEX_SIM), kPort, {QStringLiteral("--engine")},
                 QCoreApplication::applicationDirPath()) {}

    // Command bytes the simulator received since the last reset ("ok total=N ...").
    int commandsSinceReset() {
        const QString reply = sim.command(QStringLiteral("stats"));
        const QString total = reply.section(QLatin1Char(' '), 1, 1);
        if (!total.startsWith(QLatin1String("total=")))
            return -1;
        return total.mid(6).toInt();
    }
};

void letEventsRun(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Ticks driven one after another, with window events (the repaints the tick asked for) let run
// between them outside the timing, as the event loop would between two timer ticks.
bool printTicks(App& app, const char* title, int ticks, bool withWire) {
    constexpr int kWarmup = 5;
    for (int i = 0; i < kWarmup; ++i) {
        app.window.acquisition().tmrDataRead_Timer();
        QCoreApplication::processEvents();
    }
    if (!app.control(QStringLiteral("stats reset")))
        return false;
    const int boxesBefore = app.boxes.count();
    std::vector<double> us;
    us.reserve(std::size_t(ticks));
    const CpuTimes cpu0 = cpuTimes();
    for (int i = 0; i < ticks; ++i) {
        const auto start = Steady::now();
        app.window.acquisition().tmrDataRead_Timer();
        us.push_back(microsSince(start));
        QCoreApplication::processEvents();
    }
    const CpuTimes cpu1 = cpuTimes();
    const int commands = app.commandsSinceReset();
    const Summary s = summarise(us);
    const double wire = wireMicros(kTickWireBytes);

    std::printf("\n%s\n", title);
    std::printf(
        "  %d ticks after %d warm-up ticks, the window's timer stopped; milliseconds; "
        "nearest rank\n",
        ticks, kWarmup);
    std::printf("  %8s %8s %8s %9s", "best", "median", "p90", "worst");
    if (withWire)
        std::printf(" | %10s %10s %10s", "wire", "+ pauses", "= floor");
    std::printf("\n  %8.3f %8.3f %8.3f %9.3f", s.best / 1000, s.median / 1000, s.p90 / 1000,
                s.worst / 1000);
    if (withWire)
        std::printf(" | %10.3f %10.3f %10.3f", wire / 1000, kPausesPerTickUs / 1000,
                    (wire + kPausesPerTickUs) / 1000);
    std::printf("\n");
    std::printf("  CPU per tick, with its repaints: %.3f ms (user %.3f, system %.3f)\n",
                (cpu1.total() - cpu0.total()) / ticks, (cpu1.userMs - cpu0.userMs) / ticks,
                (cpu1.systemMs - cpu0.systemMs) / ticks);
    if (!withWire)
        std::printf("  for reference: the five DelayTimer(2) pauses alone are %.3f ms\n",
                    kPausesPerTickUs / 1000);
    if (withWire)
        std::printf(
            "  wire = %d bytes (5 command bytes + 2+1+1+2+1 reply bytes) x 178.6 us; "
            "pauses = 5 x DelayTimer(2)\n",
            kTickWireBytes);
    std::printf(
        "  command bytes the simulator received: %d (%d expected: %d reads a tick); "
        "message boxes: %d; view still open: %s\n",
        commands, ticks * kReadsPerTick, kReadsPerTick, app.boxes.count() - boxesBefore,
        app.state.viewActive ? "yes" : "no");
    std::fflush(stdout);
    if (!app.state.viewActive)
        std::fprintf(stderr, "bench_polling: the view closed during the ticks: %s\n",
                     qPrintable(app.boxes.texts().join(QLatin1String(" | "))));
    return app.state.viewActive;
}

bool printCpuShare(App& app, int seconds) {
    if (!app.control(QStringLiteral("stats reset")))
        return false;
    const int boxesBefore = app.boxes.count();
    const std::optional<long> rssBefore = residentKb();
#ifndef _WIN32
    const std::optional<double> simCpu0 = childCpuMs(app.sim.pid());
#endif
    std::printf(
        "\nLive view on the window's own %d ms timer for %d s (engine moving, paced "
        "simulator)...\n",
        app.window.tmrDataRead()->interval(), seconds);
    std::fflush(stdout);

    const CpuTimes cpu0 = cpuTimes();
    const auto start = Steady::now();
    app.window.tmrDataRead()->start();
    letEventsRun(seconds * 1000);
    app.window.tmrDataRead()->stop();
    const double wallMs = microsSince(start) / 1000.0;
    const CpuTimes cpu1 = cpuTimes();
    const double cpuMs = cpu1.total() - cpu0.total();
#ifndef _WIN32
    const std::optional<double> simCpu1 = childCpuMs(app.sim.pid());
#endif
    const int commands = app.commandsSinceReset();
    const std::optional<long> rssAfter = residentKb();
    const std::optional<long> hwm = peakResidentKb();

    std::printf("  %-34s %10.1f ms\n", "wall time", wallMs);
    std::printf("  %-34s %10.1f ms\n", "CPU time (user + system)", cpuMs);
    std::printf("  %-34s %10.2f %%  of one CPU\n", "CPU share", 100.0 * cpuMs / wallMs);
    if (commands >= 0) {
        const double ticks = double(commands) / kReadsPerTick;
        std::printf("  %-34s %10.1f  (%d command bytes / %d)\n", "full ticks done", ticks, commands,
                    kReadsPerTick);
        if (ticks > 0)
            std::printf("  %-34s %10.2f ms  (user %.2f, system %.2f)\n", "CPU per tick",
                        cpuMs / ticks, (cpu1.userMs - cpu0.userMs) / ticks,
                        (cpu1.systemMs - cpu0.systemMs) / ticks);
    }
    std::printf("  %-34s %10d\n", "message boxes during the run", app.boxes.count() - boxesBefore);
    std::printf("  %-34s %10s\n", "view still open", app.state.viewActive ? "yes" : "no");
    if (rssBefore && rssAfter)
        std::printf("  %-34s %10ld kB -> %ld kB\n",
                    (std::string(kResidentName) + " start -> end").c_str(), *rssBefore, *rssAfter);
    if (hwm)
        std::printf("  %-34s %10ld kB\n", kPeakResidentName, *hwm);
#ifdef _WIN32
    std::printf("  (the simulator's CPU time is printed by the script that started it)\n");
#else
    std::printf("  %-34s %10ld kB\n", "peak resident set (ru_maxrss)", maxRssKb());
    if (simCpu0 && simCpu1)
        std::printf("  %-34s %10.1f ms  (its own process, for context)\n", "simulator CPU time",
                    *simCpu1 - *simCpu0);
    std::printf("  (the simulator's figure comes from /proc in clock ticks of %.0f ms)\n",
                1000.0 / double(sysconf(_SC_CLK_TCK)));
#endif
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: bench_polling [--ticks N] [--seconds N]\n"
                "  --ticks N    timed polling ticks per mode (default 100)\n"
                "  --seconds N  length of the live-view CPU run (default 60)\n");
            return 0;
        }
    }
    const int ticks = intOption(argc, argv, "--ticks", 100);
    const int seconds = intOption(argc, argv, "--seconds", 60);

    // No screen is needed: the window paints into memory.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    printMachineContext("bench_polling: the live view of the main window against module-sim");
    std::printf("  platform  : %s\n", qPrintable(QGuiApplication::platformName()));

    App app;
    if (!app.sim.ok()) {
        std::fprintf(stderr, "bench_polling: the simulator did not start (%s)\n", IGNIVEX_SIM);
        return 1;
    }
    const int portNumber = test::rigPort(app.sim, kPort);
    std::printf("  simulator : %s, linked as Com%d, moving engine\n", qPrintable(app.sim.device()),
                portNumber);
    std::fflush(stdout);

    // Start-up as the program does it, then the polling driven by hand for the tick figures.
    app.window.Show();
    app.window.tmrDataRead()->stop();
    app.window.mnuViewRealTime_Click();
    if (!app.state.viewActive || app.boxes.count() != 0 || app.state.firmwareId.isEmpty()) {
        std::fprintf(stderr,
                     "bench_polling: the real-time view did not open cleanly on Com%d "
                     "(messages: %s)\n",
                     portNumber, qPrintable(app.boxes.texts().join(QLatin1String(" | "))));
        return 1;
    }

    if (!printTicks(app, "One polling tick (tmrDataRead_Timer, 5 reads), unpaced simulator", ticks,
                    false))
        return 1;
    if (!app.control(QStringLiteral("set paced on"))) {
        std::fprintf(stderr, "bench_polling: the simulator refused \"set paced on\"\n");
        return 1;
    }
    if (!printTicks(app,
                    "One polling tick (tmrDataRead_Timer, 5 reads), paced simulator "
                    "(56000 bit/s)",
                    ticks, true))
        return 1;

    if (!printCpuShare(app, seconds))
        return 1;

    printLoadAtEnd();
    return 0;
}
