// Figures for the library of runs: with 1,000 runs in a SQLite library, a search as the window
// makes it (a word, a word and a tag, a day range, everything), and adding a folder of 100
// one-hour recordings at the fastest rate (about 297,000 rows each) as the window's add does it:
// the folder searched, each file read and described, the runs written. It prints; it never
// judges. `bench_library [FILES]` adds that many files (100 by default).
#include "BenchRecording.h"
#include "BenchSupport.h"

#include "catalog/FolderScan.h"
#include "catalog/RunIndex.h"
#include "catalog/SqliteRunStore.h"
#include "record/RecordFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>
#include <cstdio>

using namespace ignivex;
using namespace ignivex::bench;

namespace {

constexpr double kRowsPerSecond = 82.4;  // ticks back to back at 56000 bit/s

catalog::RunEntry syntheticRun(int i) {
    catalog::RunEntry r;
    r.id = record::newRunId();
    r.path = QStringLiteral("/home/tuner/runs/car%1/run%2_final.csv").arg(i % 40).arg(i);
    r.started = QDateTime(QDate(2026, 1, 1), QTime(8, 0), QTimeZone(3600)).addSecs(qint64(i) * 7200);
    r.durationS = 60 + (i * 37) % 3600;
    r.rows = qint64(r.durationS * kRowsPerSecond);
    r.firmware = i % 3 ? QStringLiteral("IGX-2 V1.10") : QStringLiteral("IGX-3 V2.00");
    r.mapRange = QStringLiteral("1 (0 to 30)");
    r.marks = i % 5;
    for (const char* c : {"rpm", "advance", "map", "battery_v", "gpi3_v", "gpi1", "gpi2", "gpi3"})
        r.channels.push_back({QString::fromLatin1(c), r.rows, 0, 1, 0.5});
    r.tags = {QStringLiteral("car%1").arg(i % 40), i % 7 ? QStringLiteral("street")
                                                           : QStringLiteral("dyno new coil")};
    r.note = i % 11 ? QString() : QStringLiteral("misfire above 6000");
    return r;
}

// One hour of rows, as the file writes them.
QByteArray hourOfRows(const record::Details& d) {
    QByteArray rows;
    const auto count = qint64(3600 * kRowsPerSecond);
    const Instant start(std::chrono::seconds(1));
    for (qint64 i = 0; i < count; ++i) {
        const double s = double(i) / kRowsPerSecond;
        const double pull = std::fmod(s, 60.0) < 20 ? std::fmod(s, 60.0) / 20 : 0.2;
        Sample sample;
        sample.monotonic = start + std::chrono::microseconds(qint64(s * 1e6));
        sample.wallClock = d.started.addMSecs(qint64(s * 1000));
        sample.rpm = 850 + 5700 * pull;
        sample.advance = 12 + 14 * pull;
        sample.map = 8 + 20 * pull;
        sample.battery = 13.8 - 0.4 * pull;
        sample.gpi3Analog = 2.5;
        sample.gpiBits = pull > 0.5 ? 0x04 : 0;
        rows += record::row(sample, start);
    }
    return rows;
}

void benchSearch(const QString& folder) {
    QString why;
    auto store = catalog::SqliteRunStore::open(folder + "/search.sqlite", &why);
    QList<catalog::RunEntry> runs;
    for (int i = 0; i < 1000; ++i)
        runs << syntheticRun(i);
    const auto t0 = Steady::now();
    store->addAll(runs, &why);
    std::printf("\n1,000 runs written in one transaction: %.0f ms\n", microsSince(t0) / 1000);
    struct Query {
        const char* name;
        catalog::RunQuery q;
    };
    catalog::RunQuery word, wordTag, days, all, typing;
    word.text = QStringLiteral("coil");
    wordTag.text = QStringLiteral("igx-3");
    wordTag.tag = QStringLiteral("car12");
    days.from = QDateTime(QDate(2026, 2, 1), QTime(0, 0));
    days.to = QDateTime(QDate(2026, 2, 28), QTime(23, 59));
    days.minDurationS = 600;
    typing.text = QStringLiteral("r");
    std::printf("search over 1,000 runs (50 each; ms: best / median / 90th / worst, runs found)\n");
    for (const Query& q : {Query{"everything", all}, Query{"one letter typed (\"r\")", typing},
                           Query{"a word (\"coil\")", word}, Query{"a word and a tag", wordTag},
                           Query{"a month, 10 min or longer", days}}) {
        std::vector<double> ms;
        qsizetype found = 0;
        for (int i = 0; i < 50; ++i) {
            const auto t = Steady::now();
            found = store->find(q.q, &why)->size();
            ms.push_back(microsSince(t) / 1000);
        }
        const Summary s = summarise(ms);
        std::printf("  %-28s %6.1f / %6.1f / %6.1f / %6.1f  %lld\n", q.name, s.best, s.median,
                    s.p90, s.worst, static_cast<long long>(found));
    }
}

void benchAddFolder(const QString& folder, int files) {
    record::Details d = fastRecordingDetails();
    const QByteArray rows = hourOfRows(d);
    QDir().mkpath(folder + "/runs/deeper");
    const auto w0 = Steady::now();
    for (int i = 0; i < files; ++i) {
        d.runId = record::newRunId();
        QFile f(folder + (i % 2 ? "/runs/deeper/" : "/runs/") + QStringLiteral("run%1.csv").arg(i));
        f.open(QIODevice::WriteOnly);
        f.write(record::preamble(d));
        f.write(rows);
    }
    std::printf("\n%d one-hour recordings written (%.1f MB each): %.1f s\n", files,
                double(rows.size()) / 1e6, microsSince(w0) / 1e6);
    QString why;
    auto store = catalog::SqliteRunStore::open(folder + "/add.sqlite", &why);
    const auto t0 = Steady::now();
    const catalog::ScanResult scan = catalog::filesToAdd({folder + "/runs"});
    const double scanMs = microsSince(t0) / 1000;
    double writeMs = 0;
    qint64 rowsRead = 0;
    for (const QString& file : scan.files) {
        const catalog::IndexOutcome o = catalog::indexFile(file);
        if (!o.run)
            continue;
        rowsRead += o.run->rows;
        const auto w = Steady::now();
        store->add(*o.run, &why);
        writeMs += microsSince(w) / 1000;
    }
    const double totalS = microsSince(t0) / 1e6;
    std::printf("adding the folder: %.1f s in all (%lld files, %.1f M rows); search of the folder "
                "%.0f ms, writing the runs %.0f ms\n",
                totalS, static_cast<long long>(scan.files.size()), double(rowsRead) / 1e6, scanMs,
                writeMs);
    // As the window's add does it: a file whose "# id:" line names the run at its place is
    // not read again.
    const auto k0 = Steady::now();
    int known = 0;
    for (const QString& file : catalog::filesToAdd({folder + "/runs"}).files) {
        const auto id = store->idAt(file, &why);
        known += id && catalog::headerRunId(file) == *id ? 1 : 0;
    }
    std::printf("the same folder again (%d files known by their id): %.0f ms\n", known,
                microsSince(k0) / 1000);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    printMachineContext("bench_library: the library of runs (SQLite)");
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    QTemporaryDir dir;
    benchSearch(dir.path());
    benchAddFolder(dir.path(), files);
    printLoadAtEnd();
    return 0;
}
