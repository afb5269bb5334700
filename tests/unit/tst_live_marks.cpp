// Marks on the live rows, put there by the sample of the row a recording marked: samples a
// tenth of a second apart, the series keeping 8 rows (10 appended drop the first 2).
#include "series/LiveSeries.h"

#include <QtTest>

using namespace ignivex;

namespace {
Sample at(double tenths) {
    Sample s;
    s.monotonic = Instant(std::chrono::milliseconds(1000 + qint64(std::lround(tenths * 100))));
    s.wallClock = QDateTime(QDate(2026, 12, 10), QTime(12, 0));
    s.rpm = 1000;
    return s;
}
}  // namespace

class TestLiveMarks : public QObject {
    Q_OBJECT
private slots:
    void marksOnTheirRows_data();
    void marksOnTheirRows();
};

void TestLiveMarks::marksOnTheirRows_data() {
    QTest::addColumn<int>("appended");
    QTest::addColumn<QList<double>>("marked");  // the samples marked, in the order marked
    QTest::addColumn<QStringList>("expected");  // "row text", in row order
    QTest::newRow("the third") << 5 << QList<double>{2} << QStringList{"2 m0"};
    QTest::newRow("the first and the last") << 5 << QList<double>{0, 4} << QStringList{"0 m0", "4 m1"};
    QTest::newRow("a later row marked first") << 6 << QList<double>{5, 2} << QStringList{"2 m1", "5 m0"};
    QTest::newRow("two on one row, in the order made") << 4 << QList<double>{1, 1} << QStringList{"1 m0", "1 m1"};
    QTest::newRow("a time between two rows") << 4 << QList<double>{1.5} << QStringList{};
    QTest::newRow("a sample not appended yet") << 4 << QList<double>{4} << QStringList{};
    QTest::newRow("a row no longer kept") << 10 << QList<double>{1, 2, 4} << QStringList{"0 m1", "2 m2"};
}

void TestLiveMarks::marksOnTheirRows() {
    QFETCH(int, appended);
    QFETCH(QList<double>, marked);
    QFETCH(QStringList, expected);
    chart::LiveSeries series(8);
    series.markRow(at(0), "before any row");  // nowhere to go
    for (int i = 0; i < appended; ++i)
        series.append(at(i));
    for (int i = 0; i < marked.size(); ++i)
        series.markRow(at(marked[i]), QStringLiteral("m%1").arg(i));
    QStringList marks;
    for (const auto& m : series.table().userMarks)
        marks << QStringLiteral("%1 %2").arg(m.row).arg(m.text);
    QCOMPARE(marks, expected);
    // The snapshot the chart paints carries them, counted from its own first row.
    const auto data = series.snapshot(series.earliest() + 0.15);
    QStringList shown;
    for (const auto& m : data->table.userMarks)
        shown << QStringLiteral("%1 %2").arg(m.row).arg(m.text);
    QStringList fromSecond;
    for (const QString& e : expected)
        if (e.section(' ', 0, 0).toInt() >= 1)
            fromSecond << QStringLiteral("%1 %2").arg(e.section(' ', 0, 0).toInt() - 1).arg(e.section(' ', 1));
    QCOMPARE(shown, fromSecond);
}

QTEST_MAIN(TestLiveMarks)
#include "tst_live_marks.moc"
