// bench_pause: the 2 ms pause (DelayTimer's SteadyClock::pauseUntil) on this system's timer,
// with no module: how long it really takes and how much CPU it burns. Runs on Linux (timerfd)
// and on Windows (the waitable timer), and so under Wine, whose figures are Wine's on Linux,
// not Windows's own.
//   bench_pause [--calls N]   (default 1000)
#include "base/Clock.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

double processCpuMs() {
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
#endif
}

double rank(const std::vector<double>& sorted, double fraction) {
    const auto i = std::size_t(std::max(0.0, fraction * double(sorted.size()) - 1e-9));
    return sorted[std::min(i, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int calls = 1000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--calls") == 0)
            calls = std::max(1, std::atoi(argv[i + 1]));
    ignivex::SteadyClock clock;
    std::vector<double> us;
    us.reserve(std::size_t(calls));
    const double cpuBefore = processCpuMs();
    const auto wallStart = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        clock.pauseUntil(start + std::chrono::milliseconds(2));
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
    const double cpuMs = processCpuMs() - cpuBefore;
    std::sort(us.begin(), us.end());
    std::printf("bench_pause: %s, %s\n", qPrintable(QSysInfo::prettyProductName()),
                qPrintable(QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion()));
    std::printf("pause of 2 ms: %d calls; microseconds\n", calls);
    std::printf("  %8s %8s %8s %8s %9s\n", "best", "median", "p90", "p99", "worst");
    std::printf("  %8.1f %8.1f %8.1f %8.1f %9.1f\n", us.front(), rank(us, 0.5), rank(us, 0.9),
                rank(us, 0.99), us.back());
    std::printf("CPU: %.1f ms in %.1f ms (%.1f %% of one core)\n", cpuMs, wallMs,
                100.0 * cpuMs / wallMs);
    std::fflush(stdout);
    return 0;
}
