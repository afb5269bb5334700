#pragma once

// Small helpers shared by the benchmark programs: order statistics, the machine they ran on,
// and the process's memory and CPU figures. Everything here only measures and prints.
// On Windows the process's figures come from Win32; the machine's (load, CPU model) are read
// from Linux's /proc through Wine's drive Z:, so they are there under Wine and "unknown" on
// Windows itself.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace ignivex::bench {

using Steady = std::chrono::steady_clock;

// The CPU time of the calling thread so far, in milliseconds.
inline double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

inline double microsSince(Steady::time_point start, Steady::time_point end = Steady::now()) {
    return std::chrono::duration<double, std::micro>(end - start).count();
}

// Nearest-rank statistics of a sample: no interpolation, so every figure printed is a value
// that was actually measured.
struct Summary {
    double best = 0, median = 0, p90 = 0, worst = 0;
    std::size_t count = 0;
};

inline double nearestRank(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty())
        return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

inline Summary summarise(std::vector<double> values) {
    Summary s;
    s.count = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.best = values.front();
    s.median = nearestRank(values, 0.5);
    s.p90 = nearestRank(values, 0.9);
    s.worst = values.back();
    return s;
}

inline QByteArray readProcFile(const char* path) {
#ifdef _WIN32
    QFile f(QStringLiteral("Z:") + QString::fromLatin1(path));
#else
    QFile f(QString::fromLatin1(path));
#endif
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline std::string loadAverage() {
    const QByteArray text = readProcFile("/proc/loadavg").trimmed();
    const QList<QByteArray> parts = text.split(' ');
    if (parts.size() < 3)
        return "unknown";
    return (parts[0] + " " + parts[1] + " " + parts[2] + " (1, 5, 15 min)").toStdString();
}

inline std::string cpuModel() {
    const QByteArray info = readProcFile("/proc/cpuinfo");
    for (const QByteArray& line : info.split('\n')) {
        if (line.startsWith("model name")) {
            const int colon = line.indexOf(':');
            return line.mid(colon + 1).trimmed().toStdString();
        }
    }
    return "unknown";
}

#ifdef _WIN32
// "Wine 8.0" when the program runs under Wine (its ntdll says so), empty on Windows itself.
inline std::string wineVersion() {
    using Version = const char*(CDECL*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto version = ntdll ? reinterpret_cast<Version>(reinterpret_cast<void*>(
                                     GetProcAddress(ntdll, "wine_get_version")))
                               : nullptr;
    return version ? std::string("Wine ") + version() : std::string();
}
#endif

inline void printMachineContext(const char* program) {
    std::printf("%s\n", program);
#ifdef _WIN32
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    std::printf("  machine   : %lu CPUs (GetNativeSystemInfo), %s\n",
                static_cast<unsigned long>(system.dwNumberOfProcessors), cpuModel().c_str());
    const std::string wine = wineVersion();
    std::printf("  system    : Windows build%s\n",
                wine.empty()
                    ? ""
                    : (" under " + wine + " on Linux: Wine's figures, not those of Windows itself")
                          .c_str());
#else
    std::printf("  machine   : %ld CPUs online (nproc), %s\n", sysconf(_SC_NPROCESSORS_ONLN),
                cpuModel().c_str());
#endif
    std::printf("  load avg  : %s at start\n", loadAverage().c_str());
    std::printf("  build     : %s, Qt %s\n", IGNIVEX_BUILD_TYPE, qVersion());
    std::fflush(stdout);
}

inline void printLoadAtEnd() {
    std::printf("\nload avg at end: %s\n", loadAverage().c_str());
}

#ifndef _WIN32
// A "Key:   1234 kB" line of /proc/self/status, in kB.
inline std::optional<long> statusKb(const char* key) {
    const QByteArray status = readProcFile("/proc/self/status");
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(key)) {
            const QByteArray digits = line.mid(int(qstrlen(key))).replace("kB", "").trimmed();
            bool ok = false;
            const long kb = digits.toLong(&ok);
            if (ok)
                return kb;
        }
    }
    return std::nullopt;
}
#endif

// Resident memory now and its peak, in kB: VmRSS and VmHWM on Linux; on Windows the working
// set and its peak (GetProcessMemoryInfo), which Wine takes from the same two Linux figures.
#ifdef _WIN32
constexpr const char* kResidentName = "working set";
constexpr const char* kPeakResidentName = "peak working set";
inline std::optional<PROCESS_MEMORY_COUNTERS> memoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return std::nullopt;
    return counters;
}
inline std::optional<long> residentKb() {
    const auto c = memoryCounters();
    return c ? std::optional<long>(long(c->WorkingSetSize / 1024)) : std::nullopt;
}
inline std::optional<long> peakResidentKb() {
    const auto c = memoryCounters();
    return c ? std::optional<long>(long(c->PeakWorkingSetSize / 1024)) : std::nullopt;
}
#else
constexpr const char* kResidentName = "resident set (VmRSS)";
constexpr const char* kPeakResidentName = "peak resident set (VmHWM)";
inline std::optional<long> residentKb() {
    return statusKb("VmRSS:");
}
inline std::optional<long> peakResidentKb() {
    return statusKb("VmHWM:");
}
#endif

#ifdef _WIN32
constexpr const char* kCpuSource = "GetProcessTimes";
constexpr const char* kSerialLayer = "WinSerialControl";
#else
constexpr const char* kCpuSource = "getrusage";
constexpr const char* kSerialLayer = "QtSerialControl";
#endif

// The program's own CPU time so far, user and system apart.
struct CpuTimes {
    double userMs = 0;
    double systemMs = 0;
    double total() const { return userMs + systemMs; }
};
inline CpuTimes cpuTimes() {
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user))
        return {};
    // FILETIME counts 100 ns.
    auto ms = [](const FILETIME& t) {
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return {ms(user), ms(kernel)};
#else
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return {usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0,
            usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0};
#endif
}

#ifndef _WIN32
// getrusage's ru_maxrss is in kB on Linux.
inline long maxRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// CPU time (user + system) another process has used so far, in ms, from /proc/PID/stat.
inline std::optional<double> childCpuMs(pid_t pid) {
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const QByteArray stat = readProcFile(path.constData());
    // The command name is in parentheses and may hold spaces: count fields after its end.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Fields 14 and 15 of the whole line (utime, stime) are 12 and 13 after the name.
    if (fields.size() < 13)
        return std::nullopt;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}
#endif

// Reads "--name N" from the command line; `fallback` when it is absent. A value that is not a
// positive whole number is reported and the program ends with status 2.
inline int intOption(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], name) != 0)
            continue;
        bool ok = false;
        const int value = i + 1 < argc ? QByteArray(argv[i + 1]).toInt(&ok) : 0;
        if (!ok || value <= 0) {
            std::fprintf(stderr, "%s needs a positive whole number\n", name);
            std::exit(2);
        }
        return value;
    }
    return fallback;
}

// Wire time of `bytes` bytes at 56000 bit/s with 10 bits a byte (start, 8 data, stop).
inline double wireMicros(int bytes) {
    return bytes * 10.0 * 1e6 / 56000.0;
}

}  // namespace ignivex::bench
