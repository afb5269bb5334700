// Figures for the team library on a local PostgreSQL server (Debian's, started here in a
// temporary folder as the tests start it): 200 runs of 20 minutes at the fastest rate (about
// 19.8 million rows) published with their rows, then the map table and the statistics over all
// of them as the server works them out, and the same map table by the command line. It prints;
// it never judges. `bench_team_store --runs N --minutes M` for another size.
#include "BenchRecording.h"
#include "BenchSupport.h"

#include "catalog/RunIndex.h"
#include "record/RecordFormat.h"
#include "support/PgTestServer.h"
#include "team/AcrossTeamRuns.h"
#include "team/TeamStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <cmath>
#include <cstdio>

using namespace ignivex;
using namespace ignivex::bench;

namespace {

constexpr double kRowsPerSecond = 82.4;  // ticks back to back at 56000 bit/s

// `minutes` of pulls, each run a little different, as the file writes them.
QList<QByteArray> runLines(int run, int minutes, const record::Details& d) {
    QList<QByteArray> lines;
    const auto count = qint64(minutes * 60 * kRowsPerSecond);
    lines.reserve(count);
    const Instant start(std::chrono::seconds(1));
    for (qint64 i = 0; i < count; ++i) {
        const double s = double(i) / kRowsPerSecond;
        const double phase = std::fmod(s + run * 7.0, 45.0);
        const double pull = phase < 30 ? phase / 30 : 0.1;
        Sample sample;
        sample.monotonic = start + std::chrono::microseconds(qint64(s * 1e6));
        sample.wallClock = d.started.addMSecs(qint64(s * 1000));
        sample.rpm = 800 + (5800 + run * 5) * pull;
        sample.advance = 10 + 16 * pull + (run % 5) * 0.25;
        sample.map = 5 + 24 * pull;
        sample.battery = 13.9 - 0.5 * pull;
        sample.gpi3Analog = 2.5;
        sample.gpiBits = pull > 0.5 ? 0x04 : 0;
        QByteArray line = record::row(sample, start);
        line.chop(1);
        lines << line;
    }
    return lines;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    printMachineContext("bench_team_store: the team library on a local PostgreSQL server");
    const int runs = intOption(argc, argv, "--runs", 200);
    const int minutes = intOption(argc, argv, "--minutes", 20);
    PgTestServer server;
    if (!server.setUp() || server.sql("CREATE DATABASE bench").isNull()) {
        std::fprintf(stderr, "bench_team_store: %s\n", qPrintable(server.error()));
        return 1;
    }
    QString why;
    const QString url = server.url(QStringLiteral("ignivex_admin"), QStringLiteral("bench"));
    auto store = team::TeamStore::open(url, &why);
    if (!store) {
        std::fprintf(stderr, "bench_team_store: %s\n", qPrintable(why));
        return 1;
    }
    qint64 rows = 0;
    double sendS = 0;
    const auto p0 = Steady::now();
    for (int r = 0; r < runs; ++r) {
        record::Details d = fastRecordingDetails();
        d.rangeCode = 3;
        d.started = d.started.addSecs(qint64(r) * 3600);
        d.runId = record::newRunId();
        const QByteArray top = record::preamble(d);
        const QList<QByteArray> lines = runLines(r, minutes, d);
        const auto s0 = Steady::now();
        bool ok = store->beginRun(d.runId, top, QStringLiteral("/runs/run%1.csv").arg(r), &why);
        for (qsizetype from = 0; ok && from < lines.size(); from += 20000)
            ok = store->sendRows(d.runId, from, lines.mid(from, 20000), &why);
        catalog::RunEntry entry;
        entry.id = d.runId;
        entry.tags = {QStringLiteral("all")};
        ok = ok && store->finishRun(entry, &why);
        sendS += microsSince(s0) / 1e6;
        if (!ok) {
            std::fprintf(stderr, "bench_team_store: %s\n", qPrintable(why));
            return 1;
        }
        rows += lines.size();
    }
    std::printf("\n%d runs of %d min published: %.1f M rows in %.0f s (%.0f s of it sending, "
                "%.0f rows/s)\n",
                runs, minutes, double(rows) / 1e6, microsSince(p0) / 1e6, sendS,
                double(rows) / sendS);
    server.sql("VACUUM ANALYZE", QStringLiteral("bench"));
    std::printf("on the server: %s\n",
                qPrintable(server.sql("SELECT 'rows ' || pg_size_pretty(pg_total_relation_size("
                                      "'ignivex.run_rows')) || ', lines ' || pg_size_pretty("
                                      "pg_total_relation_size('ignivex.run_lines'))",
                                      QStringLiteral("bench"))));

    const auto shape = team::shapeOfTag(*store, QStringLiteral("all"), &why);
    if (!shape) {
        std::fprintf(stderr, "bench_team_store: %s\n", qPrintable(why));
        return 1;
    }
    analysis::MapRequest request;
    request.columnEdges = analysis::defaultMapEdges(3);
    std::vector<double> mapMs, statsMs;
    std::size_t cells = 0;
    qint64 samples = 0;
    for (int i = 0; i < 5; ++i) {
        const auto t = Steady::now();
        const auto table = team::mapTableOfTag(*store, QStringLiteral("all"), shape->table, request, &why);
        mapMs.push_back(microsSince(t) / 1000);
        if (!table) {
            std::fprintf(stderr, "bench_team_store: %s\n", qPrintable(why));
            return 1;
        }
        cells = table->cells.size();
        samples = 0;
        for (const auto& c : table->cells)
            samples += c.samples;
        const auto s = Steady::now();
        team::statisticsOfTag(*store, QStringLiteral("all"), shape->table, &why);
        statsMs.push_back(microsSince(s) / 1000);
    }
    const Summary m = summarise(mapMs), s = summarise(statsMs);
    std::printf("map table over all %d runs (5 times; ms: best / median / worst): %.0f / %.0f / "
                "%.0f  (%zu cells, %.1f M samples)\n",
                runs, m.best, m.median, m.worst, cells, double(samples) / 1e6);
    std::printf("statistics over all %d runs (ms: best / median / worst): %.0f / %.0f / %.0f\n",
                runs, s.best, s.median, s.worst);
    const auto c0 = Steady::now();
    QProcess cli;
    cli.start(QStringLiteral(IGNIVEX_APP),
              {"--table", "--tag", "all", "--library", url});
    cli.waitForFinished(600000);
    std::printf("Ignivex_Log --table --tag all --library URL: %.0f ms, exit %d, %lld lines\n",
                microsSince(c0) / 1000, cli.exitCode(),
                static_cast<long long>(cli.readAllStandardOutput().count('\n')));
    printLoadAtEnd();
    if (qEnvironmentVariableIsSet("IGNIVEX_BENCH_HOLD")) {
        // To look at the server's plans by hand: it runs until a line is typed.
        std::printf("server kept at %s until Enter\n", qPrintable(url));
        std::fflush(stdout);
        std::getchar();
    }
    return 0;
}
