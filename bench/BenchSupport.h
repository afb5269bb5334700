#pragma once

// Small helpers shared by the benchmark programs: order statistics, the machine they ran on,
// and the process's memory and CPU figures. Everything here only measures and prints.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace ignivex::bench {

using Steady = std::chrono::steady_clock;

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
    QFile f(QString::fromLatin1(path));
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

inline void printMachineContext(const char* program) {
    std::printf("%s\n", program);
    std::printf("  machine   : %ld CPUs online (nproc), %s\n", sysconf(_SC_NPROCESSORS_ONLN),
                cpuModel().c_str());
    std::printf("  load avg  : %s at start\n", loadAverage().c_str());
    std::printf("  build     : %s, Qt %s\n", IGNIVEX_BUILD_TYPE, qVersion());
    std::fflush(stdout);
}

inline void printLoadAtEnd() {
    std::printf("\nload avg at end: %s\n", loadAverage().c_str());
}

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

// The program's own CPU time so far, user and system apart.
struct CpuTimes {
    double userMs = 0;
    double systemMs = 0;
    double total() const { return userMs + systemMs; }
};
inline CpuTimes cpuTimes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return {usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0,
            usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0};
}

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
