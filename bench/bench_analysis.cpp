// Figures for the questions asked of a long recording: ten hours at the fastest rate (some
// three million rows, made in memory as the reader gives them: reading them is bench_chart's
// figure), a histogram of one channel and the map table, each over the whole recording and
// over a span of an hour. It prints; it never judges.
#include "BenchSupport.h"

#include "analysis/Histogram.h"
#include "analysis/MapTable.h"
#include "record/RecordingTable.h"

#include <QtGlobal>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace ignivex;
using namespace ignivex::bench;

namespace {

constexpr double kRowsPerSecond = 82.4;  // ticks back to back at 56000 bit/s

// An engine doing a pull a minute, a few ticks cut short by Esc and a gap of three seconds
// halfway, each value rounded as the file writes it.
record::Table recordingOf(double seconds) {
    record::Table t;
    const auto rows = qint64(seconds * kRowsPerSecond);
    t.reserve(std::size_t(rows));
    record::RowCells cells;
    for (qint64 i = 0; i < rows; ++i) {
        double s = double(i) / kRowsPerSecond;
        if (s > seconds / 2)
            s += 3;  // the gap
        const double phase = std::fmod(s, 60.0);
        const double pull = phase < 10 ? 0 : phase < 20 ? (phase - 10) / 10 : phase < 25 ? 1 : 0.3;
        const double values[kValueCount] = {850 + 5700 * pull + 15 * std::sin(s * 11),
                                            12 + 14 * pull,
                                            8 + 20 * pull + std::sin(s * 3) * 0.3,
                                            13.8 - 0.4 * pull,
                                            2.5 + 2 * std::sin(s / 7),
                                            double((i / 250) % 2),
                                            double((i / 330) % 2),
                                            pull > 0.5 ? 1.0 : 0.0};
        for (const ValueSpec& entry : kValues)
            cells.values[std::size_t(entry.value)] =
                record::asWritten(values[std::size_t(entry.value)], entry.decimals);
        cells.elapsed = std::round(s * 1000) / 1000;
        cells.wallMs = qint64(cells.elapsed * 1000);
        cells.status = i % 30011 == 7 ? Sample::End::Escape : Sample::End::Complete;
        t.append(cells);
    }
    return t;
}

template <typename Compute>
void timed(const char* what, int runs, Compute compute) {
    std::vector<double> us;
    for (int i = 0; i < runs; ++i) {
        const auto start = Steady::now();
        compute();
        us.push_back(microsSince(start));
    }
    const Summary s = summarise(std::move(us));
    std::printf("  %-52s best %7.1f  median %7.1f  worst %7.1f ms  (%d runs)\n", what,
                s.best / 1000, s.median / 1000, s.worst / 1000, runs);
}

}  // namespace

int main(int argc, char** argv) {
    double hours = 10;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: bench_analysis [--hours H] [--runs N]\n"
                "  --hours H  length of the recording made in memory (default 10)\n"
                "  --runs N   times each question is asked (default 5)\n");
            return 0;
        }
        if (i + 1 < argc && std::strcmp(argv[i], "--hours") == 0)
            hours = std::atof(argv[++i]);
        else if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    printMachineContext("bench_analysis");
    const auto start = Steady::now();
    const record::Table t = recordingOf(hours * 3600);
    std::printf("\nQuestions asked of %.0f hours at the fastest rate (%zu rows, made in %.0f ms)\n",
                hours, t.size(), microsSince(start) / 1000);
    const analysis::Span whole;
    const analysis::Span hour{3600, 7200, nullptr};
    std::size_t bins = 0, cells = 0;
    for (const auto& [what, span] : {std::pair{"whole", whole}, std::pair{"an hour", hour}}) {
        const QByteArray label = QByteArray("histogram of rpm, default bins, ") + what;
        timed(label.constData(), runs, [&] {
            bins = analysis::histogram(t, record::channelOf(Value::Rpm), span).bins.size();
        });
        const QByteArray given = QByteArray("histogram of advance, 41 edges given, ") + what;
        QList<double> edges;
        for (int e = 0; e <= 40; ++e)
            edges << e;
        timed(given.constData(), runs, [&] {
            bins =
                analysis::histogram(t, record::channelOf(Value::Advance), span, edges).bins.size();
        });
        const QByteArray map = QByteArray("map table: advance over rpm x MAP, ") + what;
        timed(map.constData(), runs, [&] {
            cells = analysis::mapTable(t, Value::Advance, analysis::defaultRpmEdges(),
                                       analysis::defaultMapEdges(1), span)
                        .cells.size();
        });
    }
    std::printf("  %-52s %zu bins, %zu cells with samples\n", "counted", bins, cells);
    printLoadAtEnd();
    return 0;
}
