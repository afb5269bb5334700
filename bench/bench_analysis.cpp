// Figures for the questions asked of a long recording: ten hours at the fastest rate (some
// three million rows, made in memory as the reader gives them: reading them is bench_chart's
// figure), a histogram of one channel and the map table, each over the whole recording and
// over a span of an hour. It prints; it never judges.
#include "BenchRecording.h"
#include "BenchSupport.h"

#include "analysis/Histogram.h"
#include "analysis/MapTable.h"
#include "formula/FormulaChannels.h"
#include "record/RecordFormat.h"
#include "record/RecordingTable.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
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

// The table as a recording file, for the questions asked end to end.
void writeFile(const record::Table& t, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    const record::Details d = fastRecordingDetails();
    f.write(record::preamble(d));
    const Instant start(std::chrono::seconds(1));
    QByteArray block;
    auto v = [&](Value which, std::size_t i) { return t.column(which)[i]; };
    for (std::size_t i = 0; i < t.size(); ++i) {
        Sample s;
        s.monotonic = start + std::chrono::microseconds(qint64(t.elapsed[i] * 1e6));
        s.wallClock = d.started.addMSecs(qint64(t.elapsed[i] * 1000));
        s.gpiBits = std::int16_t((v(Value::Gpi1, i) > 0 ? 0x04 : 0) |
                                 (v(Value::Gpi2, i) > 0 ? 0x08 : 0) |
                                 (v(Value::Gpi3, i) > 0 ? 0x10 : 0));
        s.gpi3Analog = v(Value::Gpi3Volts, i);
        s.map = v(Value::Map, i);
        s.battery = v(Value::Battery, i);
        s.rpm = v(Value::Rpm, i);
        s.advance = v(Value::Advance, i);
        s.end = Sample::End(t.status[i]);
        block += record::row(s, start);
        if (block.size() > (1 << 20)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
}

// The same question of the same file, asked of pandas: the channel, the filter with its settle
// time (the rows within 0.5 s of the condition turning true left out), the cells' means.
const char* const kPandasQuestion = R"(import sys, time, numpy, pandas
t = time.monotonic()
d = pandas.read_csv(sys.argv[1], comment='#')
d['adv_net'] = d.advance - 0.5 * d.map
on = ((d.rpm > 3000) & (d.gpi1 == 0)).fillna(False)
turned = on & ~on.shift(fill_value=False)
since = d.elapsed_s.where(turned).ffill()
keep = on & (d.elapsed_s - since >= 0.5) & (d.status == 'ok')
k = d[keep]
rows = pandas.cut(k.rpm, numpy.arange(0, 8001, 500), right=False)
cols = pandas.cut(k.map, numpy.arange(0, 31, 5), right=False)
cells = k.groupby([rows, cols], observed=True).adv_net.agg(['count', 'mean', 'min', 'max', 'std'])
print((time.monotonic() - t) * 1000, len(cells))
)";

void endToEnd(const record::Table& t) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ten-hours.csv"));
    auto start = Steady::now();
    writeFile(t, path);
    std::printf("\nOne question end to end: open the file, a channel by formula, a filter with "
                "a settle time, the map table\n  %-52s %.0f MB, written in %.0f ms\n", "file",
                double(QFile(path).size()) / (1024 * 1024), microsSince(start) / 1000);
    QProcess ours;
    start = Steady::now();
    ours.start(QStringLiteral(IGNIVEX_APP),
               {QStringLiteral("--table"), path, QStringLiteral("--channel"),
                QStringLiteral("adv_net=advance - 0.5 * map"), QStringLiteral("--of"),
                QStringLiteral("adv_net"), QStringLiteral("--where"),
                QStringLiteral("rpm > 3000 && gpi1 == 0"), QStringLiteral("--settle"),
                QStringLiteral("0.5")});
    ours.waitForFinished(-1);
    const double oursMs = microsSince(start) / 1000;
    const auto lines = ours.readAllStandardOutput().count('\n');
    std::printf("  %-52s %7.0f ms  (%lld lines, exit %d)\n", "Ignivex_Log --table ... --where",
                oursMs, qint64(lines), ours.exitCode());
    QProcess pandas;
    pandas.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kPandasQuestion), path});
    if (pandas.waitForFinished(-1) && pandas.exitCode() == 0) {
        const QList<QByteArray> out = pandas.readAllStandardOutput().trimmed().split(' ');
        const double pandasMs = out.value(0).toDouble();
        std::printf("  %-52s %7.0f ms  (%s cells; ours is %.2f times that)\n",
                    "pandas, the same question", pandasMs, out.value(1).constData(),
                    oursMs / pandasMs);
    } else {
        std::printf("  %-52s not installed or failed: %s\n", "pandas",
                    pandas.readAllStandardError().left(300).constData());
    }
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

    std::printf("\nChannels by formula and a filter over the whole recording\n");
    const QStringList names = formula::channelNames(t);
    for (const char* text : {"(rpm * 2 + advance) / 3 - map * 0.5", "smooth(rpm, 0.5)"}) {
        const auto f = formula::Formula::read(QString::fromLatin1(text), names, nullptr);
        std::size_t present = 0;
        timed(text, runs, [&] {
            const std::vector<double> v = formula::evaluate(*f, t);
            present = std::size_t(std::count_if(v.begin(), v.end(),
                                                [](double x) { return !std::isnan(x); }));
        });
        std::printf("  %-52s %zu values\n", "", present);
    }
    const formula::Filter filter{QStringLiteral("pull"),
                                 QStringLiteral("rpm > 3000 && gpi1 == 0"), 0.5};
    analysis::Span through;
    timed("filter: rpm > 3000 && gpi1 == 0, settled 0.5 s", runs, [&] {
        through.passing = std::make_shared<const analysis::RowsPassing>(
            *formula::rowsPassing(t, filter, nullptr));
    });
    record::Table withNet = t;
    formula::addChannels(withNet, {{QStringLiteral("adv_net"),
                                    QStringLiteral("advance - 0.5 * map"), QStringLiteral("deg"), 1}});
    const auto net = *withNet.channelNamed(QStringLiteral("adv_net"));
    timed("map table of adv_net through the filter", runs, [&] {
        analysis::MapRequest r;
        r.of = net;
        r.rows = record::channelOf(Value::Rpm);
        r.columns = record::channelOf(Value::Map);
        r.rowEdges = analysis::defaultRpmEdges();
        r.columnEdges = analysis::defaultMapEdges(1);
        cells = analysis::mapTable(withNet, r, through).cells.size();
    });
    timed("histogram of adv_net through the filter", runs, [&] {
        bins = analysis::histogram(withNet, net, through).bins.size();
    });
    std::printf("  %-52s %zu bins, %zu cells with samples\n", "counted", bins, cells);
    endToEnd(t);
    printLoadAtEnd();
    return 0;
}
