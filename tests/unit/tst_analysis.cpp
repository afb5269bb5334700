// Questions asked of a recording: statistics over a span, the map table, a section written out,
// and the command line that answers them. The expected figures were worked out by hand from
// the fixture tests/fixtures/analysis/pull.csv (eight rows half a second apart; the one at
// 2.5 s is an Esc row, and gpi3_v is empty at 3.0 s).
#include "analysis/Histogram.h"
#include "analysis/MapTable.h"
#include "analysis/Section.h"
#include "analysis/Statistics.h"
#include "record/RecordingReader.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

using namespace ignivex;

namespace {

const QString kPull = QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv");
const QString kEdges = QStringLiteral(IGNIVEX_FIXTURES "/analysis/edges.csv");

record::Table pull() {
    return record::readRecording(kPull).recording->table;
}

bool near(double a, double b) {
    return std::abs(a - b) < 1e-4;
}

// Rows of engine speed alone, at these times; NaN is a cell not read.
record::Table rpmRows(const QList<double>& times, const QList<double>& rpm) {
    record::Table t;
    record::RowCells cells;
    cells.values.fill(qQNaN());
    for (qsizetype i = 0; i < times.size(); ++i) {
        cells.elapsed = times[i];
        cells.values[std::size_t(Value::Rpm)] = rpm[i];
        t.append(cells);
    }
    return t;
}

QList<double> numbers(const QString& text) {
    QList<double> out;
    for (const QString& n : text.split(' ', Qt::SkipEmptyParts))
        out << n.toDouble();
    return out;
}

}  // namespace

class TestAnalysis : public QObject {
    Q_OBJECT
private slots:
    void statistics_data();
    void statistics();
    void mapTable();
    void mapTableDifference();
    void mapTableOfAnyChannels_data();
    void mapTableOfAnyChannels();
    void histogram_data();
    void histogram();
    void histogramFigures_data();
    void histogramFigures();
    void edges_data();
    void edges();
    void section();
    void commandLine_data();
    void commandLine();
    void gapThreshold_data();
    void gapThreshold();
};

void TestAnalysis::statistics_data() {
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("column");
    QTest::addColumn<qint64>("samples");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("mean");
    // 1.0 to 3.0 s: the rows at 1.0, 1.5, 2.0 and 3.0; the Esc row at 2.5 is left out.
    QTest::newRow("rpm over the pull")
        << 1.0 << 3.0 << "rpm" << qint64(4) << 2000.0 << 4500.0 << 3375.0;
    QTest::newRow("advance") << 1.0 << 3.0 << "advance" << qint64(4) << 20.0 << 30.0 << 25.75;
    QTest::newRow("battery") << 1.0 << 3.0 << "battery_v" << qint64(4) << 13.0 << 13.8 << 13.45;
    QTest::newRow("an empty cell is no sample")
        << 1.0 << 3.0 << "gpi3_v" << qint64(3) << 2.0 << 3.0 << 7.0 / 3;
    QTest::newRow("input: share of time at 1")
        << 1.0 << 3.0 << "gpi1" << qint64(4) << 0.0 << 1.0 << 0.75;
    QTest::newRow("input never on") << 1.0 << 3.0 << "gpi3" << qint64(4) << 0.0 << 0.0 << 0.0;
    QTest::newRow("whole recording")
        << -1e9 << 1e9 << "rpm" << qint64(7) << 900.0 << 4500.0 << 17900.0 / 7;
    QTest::newRow("span ends are inside")
        << 0.5 << 0.5 << "map" << qint64(1) << 25.0 << 25.0 << 25.0;
    QTest::newRow("only the Esc row") << 2.4 << 2.6 << "rpm" << qint64(0) << 0.0 << 0.0 << 0.0;
}

void TestAnalysis::statistics() {
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QString, column);
    QFETCH(qint64, samples);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, mean);
    const auto stats = analysis::statistics(pull(), {from, to});
    const auto& s = stats[std::size_t(*pull().channelNamed(column))];
    QCOMPARE(s.samples, samples);
    QVERIFY2(s.min == min && s.max == max && near(s.mean, mean),  // 13.8, not 13.8000002
             qPrintable(QStringLiteral("%1 %2 %3").arg(s.min).arg(s.max).arg(s.mean)));
}

void TestAnalysis::mapTable() {
    // Advance over rpm [0,1000) [1000,2000) [2000,3000) [3000,5000) and MAP [0,30) [30,60).
    const auto table =
        analysis::mapTable(pull(), Value::Advance, {0, 1000, 2000, 3000, 5000}, {0, 30, 60}, {});
    struct Expected {
        int rpmBin, mapBin;
        qint64 samples;
        double mean, seconds;
    };
    // Each row stands for the half second to the next; the last row for nothing.
    const QList<Expected> expected = {
        {0, 0, 1, 10.0, 0.5}, {1, 0, 1, 12.0, 0.5}, {2, 1, 2, 21.0, 0.5}, {3, 1, 3, 83.0 / 3, 1.5}};
    QCOMPARE(qsizetype(table.cells.size()), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const auto& c = table.cells[std::size_t(i)];
        const Expected& e = expected[i];
        QCOMPARE(c.rpmBin, e.rpmBin);
        QCOMPARE(c.mapBin, e.mapBin);
        QCOMPARE(c.samples, e.samples);
        QVERIFY2(near(c.mean, e.mean) && near(c.seconds, e.seconds),
                 qPrintable(QString::number(i)));
    }
}

// Two runs cell by cell: the whole pull less its first 1.5 s. Only cells both have samples in;
// advance in [2000,3000)x[30,60) is 21 against 20, in [3000,5000)x[30,60) 83/3 against 25.
void TestAnalysis::mapTableDifference() {
    const QList<double> rpm = {0, 1000, 2000, 3000, 5000}, map = {0, 30, 60};
    const auto whole = analysis::mapTable(pull(), Value::Advance, rpm, map, {});
    const auto start = analysis::mapTable(pull(), Value::Advance, rpm, map, {0, 1.5});
    const auto d = analysis::difference(whole, start);
    const QList<double> expected = {0, 0, 1, 83.0 / 3 - 25};
    QCOMPARE(qsizetype(d.cells.size()), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(near(d.cells[std::size_t(i)].mean, expected[i]), qPrintable(QString::number(i)));
    QCOMPARE(d.cells[3].samples, qint64(3));  // the first table's
    QVERIFY(
        analysis::difference(whole, analysis::mapTable(pull(), Value::Advance, rpm, map, {10, 20}))
            .cells.empty());
}

// Worked from pull.csv without its Esc row (gpi1 is 0 at 0.0, 2.0 and 3.5 s).
void TestAnalysis::mapTableOfAnyChannels_data() {
    QTest::addColumn<QStringList>("channels");  // of, rows, columns
    QTest::addColumn<QString>("rowEdges");
    QTest::addColumn<QString>("columnEdges");
    QTest::addColumn<int>("minSamples");
    QTest::addColumn<QStringList>("cells");  // "row column samples mean min max sd seconds"
    const QStringList rpmOverBattery = {"0 0 1 900 900 900 0 0.5",
                                        "0 1 3 2500 1000 4500 1471.9601 1.5",
                                        "1 0 1 4000 4000 4000 0 0.5", "1 1 1 3000 3000 3000 0 0.5"};
    QTest::newRow("rpm over battery and an input")
        << QStringList{"rpm", "battery_v", "gpi1"} << "13,13.5,14"
        << "0,1,2" << 1 << rpmOverBattery;
    QTest::newRow("fewer than two samples: empty")
        << QStringList{"rpm", "battery_v", "gpi1"} << "13,13.5,14"
        << "0,1,2" << 2 << QStringList{rpmOverBattery[1]};
    QTest::newRow("battery over MAP rows and rpm columns")
        << QStringList{"battery_v", "map", "rpm"} << "0,30,60"
        << "0,3000,5000" << 1
        << QStringList{"0 0 2 13.1 13 13.2 0.1 1", "1 0 2 13.7 13.4 14 0.3 0.5",
                       "1 1 3 13.4666667 13 13.8 0.3399346 1.5"};
}

void TestAnalysis::mapTableOfAnyChannels() {
    QFETCH(QStringList, channels);
    QFETCH(QString, rowEdges);
    QFETCH(QString, columnEdges);
    QFETCH(int, minSamples);
    QFETCH(QStringList, cells);
    const record::Table rows = pull();
    analysis::MapRequest r;
    r.of = *rows.channelNamed(channels[0]);
    r.rows = *rows.channelNamed(channels[1]);
    r.columns = *rows.channelNamed(channels[2]);
    r.rowEdges = numbers(QString(rowEdges).replace(',', ' '));
    r.columnEdges = numbers(QString(columnEdges).replace(',', ' '));
    r.minSamples = minSamples;
    const auto table = analysis::mapTable(rows, r, {});
    QCOMPARE(qsizetype(table.cells.size()), cells.size());
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const auto& c = table.cells[std::size_t(i)];
        const QList<double> e = numbers(cells[i]);
        const QList<double> got = {
            double(c.rpmBin), double(c.mapBin), double(c.samples), c.mean, c.min, c.max, c.sd,
            c.seconds};
        for (qsizetype k = 0; k < e.size(); ++k)
            QVERIFY2(
                near(got[k], e[k]),
                qPrintable(QStringLiteral("cell %1, figure %2: %3").arg(i).arg(k).arg(got[k])));
    }
}

// Rows half a second apart unless said; the gap threshold is then 1.5 s.
void TestAnalysis::histogram_data() {
    QTest::addColumn<QString>("times");
    QTest::addColumn<QString>("rpm");
    QTest::addColumn<QString>("edges");  // empty: the default bins
    QTest::addColumn<QString>("ends");   // the first and the last edge
    QTest::addColumn<int>("binCount");
    QTest::addColumn<QStringList>("filled");  // "bin samples seconds share", the others empty
    QTest::newRow("on an edge: in the bin it starts; outside: in none")
        << "0 0.5 1 1.5 2"
        << "1000 2000 2999.9 3000 500"
        << "0,100,1000,2000,3000"
        << "0 3000" << 4 << QStringList{"1 1 0 0", "2 1 0.5 0.25", "3 2 1 0.5"};
    QTest::newRow("default bins: the greatest value in the last")
        << "0 0.5 1"
        << "1000 1100 3000"
        << ""
        << "1000 3000" << 20 << QStringList{"0 1 0.5 0.5", "1 1 0.5 0.5", "19 1 0 0"};
    QTest::newRow("a gap counts as the threshold; a cell not read counts nothing")
        << "0 0.5 1 11 11.5 12"
        << "1000 1000 2000 2000 nan 1000"
        << "0,1500,2500"
        << "0 2500" << 2 << QStringList{"0 3 1 0.3333333", "1 2 2 0.6666667"};
    QTest::newRow("one value: bins one decimal wide around it")
        << "0 0.5 1"
        << "2500 2500 2500"
        << ""
        << "2499 2501" << 20 << QStringList{"10 3 1 1"};
    QTest::newRow("one row: shares of the samples") << "0"
                                                    << "2000"
                                                    << "0,5000"
                                                    << "0 5000" << 1 << QStringList{"0 1 0 1"};
    QTest::newRow("nothing counted: no bins") << "0 0.5"
                                              << "nan nan"
                                              << "0,5000"
                                              << "" << 0 << QStringList{};
}

void TestAnalysis::histogram() {
    QFETCH(QString, times);
    QFETCH(QString, rpm);
    QFETCH(QString, edges);
    QFETCH(QString, ends);
    QFETCH(int, binCount);
    QFETCH(QStringList, filled);
    const auto h = analysis::histogram(rpmRows(numbers(times), numbers(rpm)), 0, {},
                                       numbers(QString(edges).replace(',', ' ')));
    QCOMPARE(int(h.bins.size()), binCount);
    QCOMPARE(h.empty.isEmpty(), binCount > 0);
    if (binCount == 0)
        return;
    QCOMPARE(QList<double>({h.bins.front().from, h.bins.back().to}), numbers(ends));
    QList<double> expected(binCount * 3, 0.0), got;
    for (const QString& f : filled) {
        const QList<double> e = numbers(f);
        for (int k = 0; k < 3; ++k)
            expected[int(e[0]) * 3 + k] = e[k + 1];
    }
    for (const analysis::HistogramBin& b : h.bins)
        got << double(b.samples) << b.seconds << b.share;
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(
            near(got[i], expected[i]),
            qPrintable(QStringLiteral("bin %1, figure %2: %3").arg(i / 3).arg(i % 3).arg(got[i])));
}

// Percentiles between closest ranks: rank p x (n - 1) from 0, as numpy's default.
void TestAnalysis::histogramFigures_data() {
    QTest::addColumn<QString>("rpm");
    QTest::addColumn<QString>("figures");  // mean median sd p5 p95
    QTest::newRow("odd count, unsorted") << "10 3 1 4 2"
                                         << "4 3 3.1622777 1.2 8.8";
    QTest::newRow("even count") << "9 4 2 5 4 7 5 4"
                                << "5 4.5 2 2.7 8.3";
    QTest::newRow("one value") << "7"
                               << "7 7 0 7 7";
    QTest::newRow("large and steady") << "6000.1 6000.3"
                                      << "6000.2 6000.2 0.1 6000.11 6000.29";
}

void TestAnalysis::histogramFigures() {
    QFETCH(QString, rpm);
    QFETCH(QString, figures);
    const QList<double> values = numbers(rpm);
    QList<double> times;
    for (qsizetype i = 0; i < values.size(); ++i)
        times << 0.5 * double(i);
    const auto h = analysis::histogram(rpmRows(times, values), 0, {});
    const QList<double> got = {h.mean, h.median, h.sd, h.p5, h.p95}, e = numbers(figures);
    for (qsizetype k = 0; k < e.size(); ++k)
        QVERIFY2(near(got[k], e[k]),
                 qPrintable(QStringLiteral("figure %1: %2").arg(k).arg(got[k])));
}

void TestAnalysis::edges_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("increasing") << "0,500,1000" << true;
    QTest::newRow("spaces and decimals") << " 0.5 , 1.5" << true;
    QTest::newRow("one edge") << "1000" << false;
    QTest::newRow("equal edges") << "0,500,500" << false;
    QTest::newRow("falling") << "1000,0" << false;
    QTest::newRow("a word") << "0,fast" << false;
    QTest::newRow("infinite") << "0,inf" << false;
}

void TestAnalysis::edges() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString why;
    QCOMPARE(analysis::edgesFrom(text, &why).has_value(), valid);
    QCOMPARE(why.isEmpty(), valid);
}

void TestAnalysis::section() {
    QTemporaryDir dir;
    const QString out = dir.filePath("section.csv");
    QString error;
    QCOMPARE(analysis::writeSection(kPull, out, {1.0, 2.5}, &error), std::optional<qint64>(4));
    const auto read = record::readRecording(out);
    QVERIFY2(read.recording, qPrintable(read.error));
    const record::Table& t = read.recording->table;
    QCOMPARE(t.elapsed, (std::vector<double>{1.0, 1.5, 2.0, 2.5}));
    QCOMPARE(t.column(Value::Rpm), (std::vector<float>{2000, 3000, 4000, 5000}));
    QCOMPARE(t.status.back(), std::uint8_t(Sample::End::Escape));
    const auto& details = read.recording->details;
    QVERIFY(details.contains({QStringLiteral("section of"), QDir::toNativeSeparators(kPull)}));
    QVERIFY(details.contains({QStringLiteral("span"), QStringLiteral("1.000 s to 2.500 s")}));
    QVERIFY(details.contains({QStringLiteral("firmware"), QStringLiteral("IGX-2 V1.10")}));
    // A span with no row writes nothing.
    QVERIFY(!analysis::writeSection(kPull, dir.filePath("none.csv"), {10, 20}, &error));
    QVERIFY(!QFile::exists(dir.filePath("none.csv")));
}

void TestAnalysis::commandLine_data() {
    // First "ulimit=BYTES": the size a file may reach; NEW: a new file; LONG: 100,000 rows.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("line");  // a line of standard output, or of standard error
    QTest::newRow("stats") << QStringList{"--stats", kPull, "--from", "1", "--to", "3"} << 0
                           << "rpm,4,2000.0,4500.0,3375.000";
    QTest::newRow("stats of an input")
        << QStringList{"--stats", kPull, "--from", "1", "--to", "3"} << 0 << "gpi1,4,0,1,0.750";
    QTest::newRow("table") << QStringList{"--table",     kPull,
                                          "--rpm-edges", "0,1000,2000,3000,5000",
                                          "--map-edges", "0,30,60"}
                           << 0 << "3000,5000,30,60,3,27.66667,25.000,30.000,2.05480";
    // Worked out from edges.csv: on an edge is in the cell above it, on the last edge in none.
    QTest::newRow("table on edges that are not whole numbers")
        << QStringList{"--table",     kEdges, "--rpm-edges", "845.7,1623.9,3186.1,6510.4",
                       "--map-edges", "6,9.7,17.4,29.8"}
        << 0
        << "sd\n845.7,1623.9,6,9.7,1,12.81000,12.810,12.810,0.00000\n"
           "845.7,1623.9,9.7,17.4,1,12.34500,12.345,12.345,0.00000\n"
           "1623.9,3186.1,6,9.7,1,15.99700,15.997,15.997,0.00000\n"
           "1623.9,3186.1,9.7,17.4,2,14.35650,14.180,14.533,0.17650\n"
           "1623.9,3186.1,17.4,29.8,1,20.03900,20.039,20.039,0.00000\n"
           "3186.1,6510.4,17.4,29.8,2,25.22500,22.676,27.774,2.54900\n";
    QTest::newRow("table's MAP edges follow the range (1: 0 to 30 by 5)")
        << QStringList{"--table", kEdges} << 0
        << "rpm_from,rpm_to,map_from,map_to,samples,mean,min,max,sd\n"
           "500,1000,5,10,2,8.67250,5.000,12.345,3.67250\n";
    QTest::newRow("table of other channels, cells of two samples or more")
        << QStringList{"--table",        kPull,         "--of",          "rpm",       "--rows",
                       "battery_v",      "--row-edges", "13,13.5,14",    "--columns", "gpi1",
                       "--column-edges", "0,1,2",       "--min-samples", "2"}
        << 0
        << "battery_v_from,battery_v_to,gpi1_from,gpi1_to,samples,mean,min,max,sd\n"
           "13,13.5,1,2,3,2500.000,1000.0,4500.0,1471.960\n";
    QTest::newRow("histogram, a bin left empty")
        << QStringList{"--histogram", kPull, "--of", "rpm", "--edges", "0,1000,2900,3000"} << 0
        << "from,to,samples,seconds,share\n0,1000,1,0.500,0.16667\n"
           "1000,2900,3,1.000,0.33333\n2900,3000,0,0.000,0.00000\n";
    QTest::newRow("stats of a channel by formula")
        << QStringList{"--stats", kPull, "--channel", "krpm=rpm/1000", "--from", "1", "--to", "3"}
        << 0 << "krpm,4,2.000,4.500,3.37500";
    // gpi1 turns on at 0.5 s and at 2.5 s: the rows at 1.0, 1.5 and 3.0 s are settled.
    QTest::newRow("stats through a filter that settles")
        << QStringList{"--stats", kPull, "--where", "gpi1 == 1", "--settle", "0.5"} << 0
        << "rpm,3,2000.0,4500.0,3166.667";
    QTest::newRow("histogram of a rate")
        << QStringList{"--histogram", kPull, "--channel", "r=rate(rpm)", "--of", "r", "--edges",
                       "0,1000,3000"}
        << 0 << "from,to,samples,seconds,share\n0,1000,1,0.500,0.20000\n1000,3000,3,1.500,0.60000\n";
    QTest::newRow("channels in a loop")
        << QStringList{"--stats", kPull, "--channel", "a=b+1", "--channel", "b=a*2"} << 2
        << "--channel a=b+1: “a” depends on itself: a → b → a";
    QTest::newRow("a condition that does not read")
        << QStringList{"--table", kPull, "--where", "rpm >"} << 2
        << "--where rpm >: The formula ends too soon: a value, a channel, a function or “(” was "
           "expected (at character 6)";
    QTest::newRow("histogram without a channel")
        << QStringList{"--histogram", kPull} << 2 << "--histogram needs --of";
    QTest::newRow("unknown rows") << QStringList{"--table", kPull, "--rows", "boost"} << 2
                                  << "--rows takes a column of the recording (rpm, advance, map, "
                                     "battery_v, gpi3_v, gpi1, gpi2, gpi3), not \"boost\"";
    QTest::newRow("other rows need their edges")
        << QStringList{"--table", kPull, "--rows", "gpi3_v"} << 2
        << "--rows gpi3_v needs --row-edges";
    QTest::newRow("rpm edges for rows of another channel")
        << QStringList{"--table", kPull, "--rows", "map", "--rpm-edges", "0,10"} << 2
        << "the rows are map: give --row-edges";
    QTest::newRow("falling edges")
        << QStringList{"--histogram", kPull, "--of", "rpm", "--edges", "0,10,5"} << 2
        << "--edges: each edge must be greater";
    QTest::newRow("no samples") << QStringList{"--table", kPull, "--min-samples", "0"} << 2
                                << "--min-samples takes a whole number of samples, 1 or more";
    QTest::newRow("section onto an existing file")
        << QStringList{"--section", kPull, "--from", "1", "--to", "2", "--out", kPull} << 3
        << "already exists";
    QTest::newRow("workbook onto an existing file")
        << QStringList{"--xlsx", kPull, "--out", kPull} << 3 << "already exists";
    QTest::newRow("workbook without --out")
        << QStringList{"--xlsx", kPull} << 2 << "--xlsx needs --out";
    QTest::newRow("unknown channel")
        << QStringList{"--table", kPull, "--of", "boost"} << 2 << "--of takes a column";
    QTest::newRow("from after to") << QStringList{"--stats", kPull, "--from", "3", "--to", "1"} << 2
                                   << "--from must not be later than --to";
    QTest::newRow("no such file") << QStringList{"--stats", "/nonexistent/run.csv"} << 1
                                  << "run.csv";
#ifndef Q_OS_WIN                                  // Windows has no size limit for a file
    QTest::newRow("section over the size limit")  // the header alone is over 100 bytes
        << QStringList{"ulimit=100", "--section", kPull, "--from", "0", "--to", "9", "--out", "NEW"}
        << 3 << "could not be written: File too large. Free some space";
    QTest::newRow("workbook over the size limit")
        << QStringList{"ulimit=2000", "--xlsx", kPull, "--out", "NEW"} << 3 << "(File too large)";
    QTest::newRow("workbook whose temporary file passes the size limit, not the workbook itself")
        << QStringList{"ulimit=8000000", "--xlsx", "LONG", "--out", "NEW"} << 3
        << "could not be written: File too large.";
#endif
    QTest::newRow("section of a span with no row")
        << QStringList{"--section", kPull, "--from", "4", "--to", "9", "--out", "NEW"} << 3
        << "No row of";
    QTest::newRow("workbook of a span with no row")
        << QStringList{"--xlsx", kPull, "--from", "3.6", "--to", "9", "--out", "NEW"} << 3
        << "No row of";
}

void TestAnalysis::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, line);
    QTemporaryDir dir, longDir;
    QProcess app;
#ifndef Q_OS_WIN
    const rlim_t size =
        arguments[0].startsWith("ulimit=") ? arguments.takeFirst().mid(7).toUInt() : RLIM_INFINITY;
    app.setChildProcessModifier([l = rlimit{size, size}] { ::setrlimit(RLIMIT_FSIZE, &l); });
#endif
    QFile pullFile(kPull), longFile(longDir.filePath("long.csv"));
    if (arguments.contains("LONG") && pullFile.open(QIODevice::ReadOnly) &&
        longFile.open(QIODevice::WriteOnly)) {
        const QList<QByteArray> lines = pullFile.readAll().split('\n');
        longFile.write(lines.mid(0, 8).join('\n') + '\n' + (lines[8] + '\n').repeated(100000));
        longFile.close();
    }
    arguments.replaceInStrings(QRegularExpression("^LONG$"), longFile.fileName());
    arguments.replaceInStrings(QRegularExpression("^NEW$"), dir.filePath("new"));
    app.start(QStringLiteral(IGNIVEX_APP), arguments);
    QVERIFY(app.waitForFinished(30000));
    QCOMPARE(app.exitCode(), exitCode);
    // Windows writes the lines of standard output with CR LF.
    const QString said =
        QString::fromUtf8(exitCode == 0 ? app.readAllStandardOutput() : app.readAllStandardError())
            .replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QVERIFY2(said.contains(line), qPrintable(said));
    // A refused export leaves nothing, not even a part of itself under another name.
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestAnalysis::gapThreshold_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("distinctSteps");  // steps of 1 to this many half seconds
    QTest::addColumn<int>("stillEvery");     // every so many rows the time stands (0: never)
    QTest::newRow("no rows") << 0 << 1 << 0;
    QTest::newRow("fewer rows than are sampled") << 50 << 3 << 0;
    QTest::newRow("one step") << 5000 << 1 << 0;
    QTest::newRow("steps of a fixed rate") << 300000 << 2 << 7;
    QTest::newRow("many steps: the sample misses") << 300000 << 1000 << 0;
    QTest::newRow("time standing half the rows") << 300000 << 40 << 2;
}

// The threshold is three times the median step, as all steps sorted give it.
void TestAnalysis::gapThreshold() {
    QFETCH(int, rows);
    QFETCH(int, distinctSteps);
    QFETCH(int, stillEvery);
    std::vector<double> times, steps;
    quint32 seed = 7;
    double t = 0;
    for (int i = 0; i < rows; ++i) {
        seed = seed * 1103515245u + 12345u;
        const bool still = stillEvery > 0 && i % stillEvery == 0;
        if (!times.empty() && !still) {
            const double next = t + 0.5 * (1 + int((seed >> 8) % quint32(distinctSteps))) +
                                (i % 1000 == 999 ? 4000 : 0);  // and now and then a gap
            steps.push_back(next - t);
            t = next;
        }
        times.push_back(t);
    }
    std::sort(steps.begin(), steps.end());
    const double median = steps.empty() ? 0 : steps[steps.size() / 2];
    QCOMPARE(record::gapThresholdOf(times),
             std::max(record::kGapFactor * median, record::kGapMinimumSeconds));
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
