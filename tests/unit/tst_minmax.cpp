// The reduction the strips are drawn from: every pixel column keeps the smallest and the largest
// value of the rows in it, whatever the number of rows, with empty cells passed over.
#include "series/MinMax.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace ignivex::chart;

namespace {

struct Column {
    std::vector<double> times;
    std::vector<float> values;
};

// Times that mostly rise by 1 to 3 units and sometimes repeat; every `nanEvery`-th value empty.
Column column(int n, int nanEvery, quint32 seed) {
    QRandomGenerator random(seed);
    Column c;
    double t = 0;
    for (int i = 0; i < n; ++i) {
        t += random.bounded(4) == 0 ? 0 : 1 + random.bounded(3);
        c.times.push_back(t);
        const bool empty = nanEvery > 0 && i % nanEvery == 0;
        c.values.push_back(empty ? kNoValue : float(random.bounded(20000)) / 10 - 1000);
    }
    return c;
}

Extent scan(const std::vector<float>& v, std::size_t from, std::size_t to) {
    Extent e;
    for (std::size_t i = from; i < to; ++i)
        e.include(v[i]);
    return e;
}

bool same(const Extent& a, const Extent& b) {
    return a.empty() ? b.empty() : (!b.empty() && a.min == b.min && a.max == b.max);
}

}  // namespace

class TestMinMax : public QObject {
    Q_OBJECT
private slots:
    void columnsKeepEveryMinimumAndMaximum_data();
    void columnsKeepEveryMinimumAndMaximum();
    void indexRanges_data();
    void indexRanges();
};

void TestMinMax::columnsKeepEveryMinimumAndMaximum_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("nanEvery");
    QTest::addColumn<double>("from");  // the view, as fractions of the rows' time span
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("columns");
    QTest::newRow("no rows") << 0 << 0 << 0.0 << 1.0 << 10;
    QTest::newRow("one row") << 1 << 0 << -1.0 << 2.0 << 10;
    QTest::newRow("fewer rows than columns") << 40 << 0 << 0.0 << 1.0 << 300;
    QTest::newRow("one column") << 5000 << 7 << 0.0 << 1.0 << 1;
    QTest::newRow("whole, 1000 columns") << 300000 << 0 << 0.0 << 1.0 << 1000;
    QTest::newRow("empty cells") << 300000 << 3 << 0.0 << 1.0 << 997;
    QTest::newRow("a stretch in the middle") << 300000 << 11 << 0.31 << 0.3172 << 640;
    QTest::newRow("view reaching past both ends") << 20000 << 0 << -0.2 << 1.3 << 800;
    QTest::newRow("only empty cells") << 500 << 1 << 0.0 << 1.0 << 50;
}

void TestMinMax::columnsKeepEveryMinimumAndMaximum() {
    QFETCH(int, rows);
    QFETCH(int, nanEvery);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, columns);
    const Column c = column(rows, nanEvery, quint32(rows + columns));
    const double span = c.times.empty() ? 1 : std::max(1.0, c.times.back());
    const double t0 = from * span, t1 = to * span;
    const MinMaxIndex index(c.values);
    for (const MinMaxIndex* idx : {&index, static_cast<const MinMaxIndex*>(nullptr)}) {
        const std::vector<ColumnExtent> reduced = reduce(c.times, c.values, idx, t0, t1, columns);
        QCOMPARE(int(reduced.size()), columns);
        // Column k holds the rows with t0 + k w <= time < t0 + (k + 1) w.
        const double w = (t1 - t0) / columns;
        std::vector<Extent> expected(static_cast<std::size_t>(columns));
        std::vector<int> counts(static_cast<std::size_t>(columns));
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            const double t = c.times[i];
            if (t < t0 || t >= t1)
                continue;
            int k = int((t - t0) / w);
            while (k > 0 && t < t0 + k * w)
                --k;
            while (k + 1 < columns && t >= t0 + (k + 1) * w)
                ++k;
            expected[std::size_t(k)].include(c.values[i]);
            ++counts[std::size_t(k)];
        }
        for (int k = 0; k < columns; ++k) {
            const ColumnExtent& got = reduced[std::size_t(k)];
            QVERIFY2(same(got.extent, expected[std::size_t(k)]),
                     qPrintable(QStringLiteral("column %1: %2..%3, expected %4..%5")
                                    .arg(k)
                                    .arg(got.extent.min)
                                    .arg(got.extent.max)
                                    .arg(expected[std::size_t(k)].min)
                                    .arg(expected[std::size_t(k)].max)));
            QCOMPARE(int(got.end - got.begin), counts[std::size_t(k)]);
        }
    }
}

void TestMinMax::indexRanges_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("nanEvery");
    for (int rows : {1, 15, 16, 17, 31, 32, 33, 255, 256, 257, 4103, 70001})
        QTest::addRow("%d rows", rows) << rows << (rows % 3 == 0 ? 0 : 5);
}

// Any range, from a single value to nearly all, gives the extent of exactly its values.
void TestMinMax::indexRanges() {
    QFETCH(int, rows);
    QFETCH(int, nanEvery);
    const Column c = column(rows, nanEvery, quint32(rows));
    const MinMaxIndex index(c.values);
    QRandomGenerator random(7);
    const auto n = std::size_t(rows);
    for (int probe = 0; probe < 400; ++probe) {
        std::size_t a = random.bounded(quint32(n + 1)), b = random.bounded(quint32(n + 1));
        if (probe < 4) {
            a = probe < 2 ? 0 : 1;
            b = probe % 2 ? n : n - 1;
        }
        if (a > b)
            std::swap(a, b);
        QVERIFY2(same(index.range(c.values, a, b), scan(c.values, a, b)),
                 qPrintable(QStringLiteral("values %1 to %2").arg(a).arg(b)));
    }
}

QTEST_GUILESS_MAIN(TestMinMax)
#include "tst_minmax.moc"
