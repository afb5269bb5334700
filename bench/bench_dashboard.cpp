// The dashboard's CPU share: full screen at 1920 x 1080 while the module is polled with ticks
// back to back (as fast as the link allows) against the paced simulator, beside the same run
// with the dashboard closed, and how many of the samples its tiles drew. It prints; it never
// judges.
#include "BenchSupport.h"

#include "acquire/Acquisition.h"
#include "app/ChartWindows.h"
#include "base/AppIdentity.h"
#include "dashboard/DashboardWindow.h"
#include "formula/FormulaStore.h"
#include "tiles/TileLayout.h"
#include "support/SimRigs.h"

#include <QApplication>
#include <QSettings>
#include <ctime>

using namespace ignivex;
using namespace ignivex::bench;

namespace {

int run(int seconds) {
    using test::AppRig;
    AppRig app(QStringLiteral(IGNIVEX_SIM), 1,
               {QStringLiteral("--engine"), QStringLiteral("--paced")},
               QCoreApplication::applicationDirPath());
    if (!app.sim.ok()) {
        std::fprintf(stderr, "bench_dashboard: the simulator did not start\n");
        return 1;
    }
    app.window.Show();
    app.window.tmrDataRead()->stop();
    app.window.mnuViewRealTime_Click();
    if (!app.state.viewActive || app.boxes.count() != 0) {
        std::fprintf(stderr, "bench_dashboard: the view did not open cleanly\n");
        return 1;
    }
    std::printf("\nDashboard at 1920 x 1080, ticks back to back (tmrDataRead_Timer in a loop), "
                "paced simulator, %d s a run\n",
                seconds);
    std::printf("  %-34s %8s %8s %10s %12s %9s %9s\n", "", "ticks/s", "CPU %", "GUI thr. %",
                "tile paints/s", "changes", "undrawn");
    auto measure = [&](const char* label, bool open, int page) {
        dash::DashboardWindow* d = nullptr;
        if (open) {
            app.window.mnuViewDashboard_Click();
            d = app.window.charts().dashboard();
            // The offscreen screen is smaller: the window is given the size of a large one.
            d->showNormal();
            d->setGeometry(0, 0, 1920, 1080);
            d->showPage(page);
            QCoreApplication::processEvents();
        }
        // Over the page's tiles: pictures, values changed, and changes passed over (replaced
        // by the next before they were painted).
        auto sum = [&](int (dash::TileWidget::*of)() const) {
            int n = 0;
            if (d)
                for (const auto* t : d->tiles())
                    n += (t->*of)();
            return n;
        };
        app.control(QStringLiteral("stats reset"));
        const int paints0 = sum(&dash::TileWidget::paints);
        const int changes0 = sum(&dash::TileWidget::changes);
        const int over0 = sum(&dash::TileWidget::passedOver);
        const CpuTimes cpu0 = cpuTimes();
        const double gui0 = threadCpuMs();
        const std::size_t rows0 = app.window.charts().liveSeries().table().size();
        const auto start = Steady::now();
        while (microsSince(start) < seconds * 1e6) {
            app.window.acquisition().tmrDataRead_Timer();
            QCoreApplication::processEvents();
        }
        const double wallMs = microsSince(start) / 1000;
        const double cpuMs = cpuTimes().total() - cpu0.total();
        const double guiMs = threadCpuMs() - gui0;
        const double samples = double(app.window.charts().liveSeries().table().size() - rows0);
        std::printf("  %-34s %8.1f %8.1f %10.1f %12.1f %9d %9d\n", label, samples * 1000 / wallMs,
                    100 * cpuMs / wallMs, 100 * guiMs / wallMs,
                    (sum(&dash::TileWidget::paints) - paints0) * 1000 / wallMs,
                    sum(&dash::TileWidget::changes) - changes0,
                    sum(&dash::TileWidget::passedOver) - over0);
        std::fflush(stdout);
        if (d)
            d->close();
    };
    measure("dashboard closed", false, 0);
    measure("dashboard open, page Engine", true, 0);
    measure("dashboard open, page Inputs", true, 1);
    {
        // A tile of a channel by formula: the series works it out at every sample.
        QSettings settings = userSettings();
        formula::saveFormulas(settings, {{{"krpm", "smooth(rpm, 0.5) / 1000", "krpm", 2}}, {}});
        tiles::TileLayout l = tiles::TileLayout::defaults();
        l.setChannel(1, 6, QStringLiteral("krpm"));
        app.window.charts().dashboard()->setArrangement(l);
    }
    measure("dashboard open, Inputs + formula", true, 1);
    std::printf("  CPU %%: the whole process over wall time; GUI thr. %%: the thread that polls "
                "and paints; changes: tile values that changed; undrawn: of them, replaced before painted\n");
    std::printf("  message boxes: %d; view still open: %s\n", app.boxes.count(),
                app.state.viewActive ? "yes" : "no");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    printMachineContext("bench_dashboard: the dashboard full screen while polling at the fastest rate");
    const int code = run(intOption(argc, argv, "--seconds", 20));
    printLoadAtEnd();
    return code;
}
