// Figures for publishing from the car: the program itself recording as fast as the link allows
// against the paced simulator, with --publish to a local PostgreSQL server (started here as
// the tests start theirs) that is stopped for a few seconds twice during the run. Samples a
// second next to the link's floor, the rows on the server at the end against those in the file,
// and what the logger said. It prints; it never judges. `bench_publish --seconds N`.
#include "BenchRecording.h"
#include "BenchSupport.h"

#include "support/PgTestServer.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace ignivex;
using namespace ignivex::bench;

namespace {

constexpr int kPort = 1;
// One tick: 12 bytes on the wire at 178.6 us a byte, and five 2 ms pauses.
constexpr double kFloorTickMs = 12 * 10.0 / 56.0 + 10.0;

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    printMachineContext("bench_publish: recording at the fastest rate, published to a server "
                        "restarted twice");
    const int seconds = intOption(argc, argv, "--seconds", 60);
    PgTestServer server;
    if (!server.setUp() || server.sql("CREATE DATABASE car").isNull()) {
        std::fprintf(stderr, "bench_publish: %s\n", qPrintable(server.error()));
        return 1;
    }
    const QString url = server.url(QStringLiteral("ignivex_admin"), QStringLiteral("car"));
    test::SimProcess sim(QStringLiteral(IGNIVEX_SIM),
                         {"--link", QString::number(kPort), "--engine", "--paced"});
    if (!sim.ok())
        return 1;
    QTemporaryDir dir;
    const QString file = dir.filePath("run.csv");
    QProcess logger;
    logger.setProcessChannelMode(QProcess::SeparateChannels);
    const auto start = Steady::now();
    logger.start(QStringLiteral(IGNIVEX_APP),
                 {"--record", file, "--port", QString::number(kPort), "--rate", "max",
                  "--duration", QString::number(seconds), "--publish", url});
    // The server goes away twice, for a few seconds each time, while the run goes on.
    std::vector<double> away;
    for (const double at : {seconds * 0.25, seconds * 0.6}) {
        logger.waitForFinished(int((at - microsSince(start) / 1e6) * 1000));
        const auto s = Steady::now();
        server.stop();
        logger.waitForFinished(4000);
        server.start();
        away.push_back(microsSince(s) / 1e6);
    }
    if (!logger.waitForFinished((seconds + 60) * 1000) || logger.exitCode() != 0) {
        std::fprintf(stderr, "bench_publish: the logger failed (exit %d): %s\n", logger.exitCode(),
                     logger.readAllStandardError().constData());
        return 1;
    }
    const double wall = microsSince(start) / 1e6;
    const qint64 rows = dataRows(file);
    const double rate = rows / wall, floor = 1000.0 / kFloorTickMs;
    const QString onServer = server.sql("SELECT count(*) || ' rows, ' || count(DISTINCT row_no) "
                                        "|| ' distinct' FROM ignivex.run_rows",
                                        QStringLiteral("car"));
    std::printf("\nrecorded for %.1f s, the server away %.1f s and %.1f s\n", wall, away[0], away[1]);
    std::printf("  samples a second %.1f /s (floor %.1f /s; %.2f of it)\n", rate, floor,
                rate / floor);
    std::printf("  rows in the file %lld; on the server %s; spool left: %s\n",
                static_cast<long long>(rows), qPrintable(onServer),
                QFileInfo::exists(file + ".spool") ? "yes" : "no");
    std::printf("  the logger said:\n%s\n", logger.readAllStandardError().constData());
    printLoadAtEnd();
    return 0;
}
