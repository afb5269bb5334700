// What the review shows, for tests/fixtures/analysis/pull.csv (rows from 0 to 3.5 s): the view
// and the cursors kept within the recording, and a signal only when a value really changed.
#include "series/ReviewState.h"
#include "record/RecordingReader.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::chart;

namespace {

std::shared_ptr<const LoadedRecording> pull() {
    const QString path = QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv");
    record::ReadResult read = record::readRecording(path);
    return std::make_shared<const LoadedRecording>(LoadedRecording{
        path, read.recording->details, {}, makeChartData(std::move(read.recording->table), false)});
}

}  // namespace

class TestReviewState : public QObject {
    Q_OBJECT
private slots:
    void view_data();
    void view();
    void cursor_data();
    void cursor();
    void nothingWithoutItsRecording();
    void threeOverlaysAtMost();
};

void TestReviewState::view_data() {
    QTest::addColumn<double>("t0");
    QTest::addColumn<double>("t1");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<int>("signalled");
    QTest::newRow("within") << 1.0 << 2.5 << 1.0 << 2.5 << 1;
    QTest::newRow("narrower than a second") << 1.0 << 1.2 << 1.0 << 2.0 << 1;
    QTest::newRow("wider than the recording") << -5.0 << 10.0 << 0.0 << 3.5 << 0;
    QTest::newRow("past the end") << 3.0 << 5.0 << 1.5 << 3.5 << 1;
    QTest::newRow("before the start") << -1.0 << 0.5 << 0.0 << 1.5 << 1;
    QTest::newRow("the whole again") << 0.0 << 3.5 << 0.0 << 3.5 << 0;
}

void TestReviewState::view() {
    QFETCH(double, t0);
    QFETCH(double, t1);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(int, signalled);
    ReviewState state;
    state.setRecording(pull());
    QCOMPARE(state.viewEnd(), 3.5);
    QSignalSpy changed(&state, &ReviewState::viewChanged);
    QCOMPARE(state.setView(t0, t1), signalled == 1);
    QCOMPARE(state.viewStart(), start);
    QCOMPARE(state.viewEnd(), end);
    QCOMPARE(changed.count(), signalled);
    QCOMPARE(state.statisticsSpan(), std::make_pair(start, end));
}

void TestReviewState::cursor_data() {
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("cursor");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<double>("viewStart");  // the view was 1 s to 2 s
    QTest::newRow("in the view") << 1.5 << 1.5 << true << 1.0;
    QTest::newRow("past the end, the view paged on") << 9.0 << 3.5 << true << 2.5;
    QTest::newRow("before the start") << -1.0 << 0.0 << false << 0.0;
    QTest::newRow("where it was, out of sight") << 0.0 << 0.0 << false << 0.0;
    QTest::newRow("ahead of the view") << 2.2 << 2.2 << true << 2.15;
}

void TestReviewState::cursor() {
    QFETCH(double, t);
    QFETCH(double, cursor);
    QFETCH(bool, moved);
    QFETCH(double, viewStart);
    ReviewState state;
    state.setRecording(pull());
    state.setView(1.0, 2.0);
    QSignalSpy changed(&state, &ReviewState::cursorChanged);
    QCOMPARE(state.setCursor(t), moved);
    QCOMPARE(state.cursor(), cursor);
    QCOMPARE(changed.count(), moved ? 1 : 0);
    QVERIFY(qFuzzyCompare(state.viewStart() + 1, viewStart + 1));
    QCOMPARE(state.setCursor(t), false);

    // Cursor B kept within the recording too, and the statistics between the two.
    QSignalSpy changedB(&state, &ReviewState::cursorBChanged);
    QVERIFY(state.setCursorB(-4.0));
    QVERIFY(!state.setCursorB(0.0));
    QCOMPARE(changedB.count(), 1);
    QCOMPARE(state.statisticsSpan(), std::make_pair(0.0, cursor));
}

void TestReviewState::nothingWithoutItsRecording() {
    ReviewState state;
    QSignalSpy overlay(&state, &ReviewState::overlayChanged);
    QVERIFY(!state.setCursor(1.0));
    QVERIFY(!state.setCursorB(1.0));
    QVERIFY(!state.setView(1.0, 2.0));
    QVERIFY(!state.setPlaying(true));
    QVERIFY(!state.setOverlayShift(2.0));
    QVERIFY(state.setSpeed(4));
    QVERIFY(!state.setSpeed(4));

    // An overlay without a finite shift is refused; closed, its shift is 0 again.
    const auto other = pull();
    QVERIFY(!state.setOverlay(other, qQNaN()));
    QVERIFY(state.setOverlay(other, 0.5));
    QVERIFY(!state.setOverlayShift(0.5));
    QVERIFY(!state.setOverlayShift(qInf()));
    QVERIFY(state.setOverlay(nullptr, 3.0));
    QCOMPARE(state.overlayShift(), 0.0);
    QCOMPARE(overlay.count(), 2);

    // A recording brings cursor A to its start, drops B and shows the whole of it.
    QVERIFY(state.setRecording(pull()));
    QVERIFY(state.setCursorB(2.0));
    QVERIFY(state.setPlaying(true));
    QVERIFY(state.setRecording(pull()));
    QVERIFY(!state.cursorB());
    QCOMPARE(state.statisticsSpan(), std::make_pair(0.0, 3.5));
}

// Four recordings compared: three overlays, each moved on its own; closing one leaves the
// others in their order. A filter reads each overlay's own rows (pull.csv's gpi1 is
// 0,1,1,1,0,1,1,0), and its span is the recording's moved back by the overlay's shift.
void TestReviewState::threeOverlaysAtMost() {
    ReviewState state;
    QVERIFY(state.setRecording(pull()));
    const auto a = pull(), b = pull(), c = pull();
    QVERIFY(state.addOverlay(a, 1.0));
    QVERIFY(state.addOverlay(b, 2.0));
    QVERIFY(state.addOverlay(c, 3.0));
    QVERIFY(!state.addOverlay(pull(), 4.0));
    QCOMPARE(state.overlayCount(), 3);
    QCOMPARE(state.currentOverlay(), 2);
    QVERIFY(state.setOverlayShift(1, 2.5));
    QCOMPARE(state.overlayShift(1), 2.5);
    QCOMPARE(state.overlayShift(2), 3.0);
    QVERIFY(!state.setOverlayShift(3, 1.0));
    QVERIFY(!state.overlay(3));

    QVERIFY(state.setCurrentOverlay(0));
    QVERIFY(state.removeOverlay(0));
    QCOMPARE(state.overlay(0), b);
    QCOMPARE(state.overlay(1), c);
    QCOMPARE(state.currentOverlay(), 0);
    QVERIFY(state.setCurrentOverlay(1));
    QVERIFY(state.removeOverlay(1));
    QCOMPARE(state.currentOverlay(), 0);
    QCOMPARE(state.overlayCount(), 1);

    const analysis::Span plain = state.overlaySpan(0, 3.0, 4.0);
    QCOMPARE(plain.from, 0.5);
    QCOMPARE(plain.to, 1.5);
    QVERIFY(!plain.passing);
    QVERIFY(!state.setFilters({{QStringLiteral("on"), QStringLiteral("gpi1 == 1"), 0}}, 0));
    const analysis::Span filtered = state.overlaySpan(0, 3.0, 4.0);
    QVERIFY(filtered.passing);
    QCOMPARE(*filtered.passing, (analysis::RowsPassing{0, 1, 1, 1, 0, 1, 1, 0}));
    // The one overlay in place of all.
    QVERIFY(state.setOverlay(a, 0.0));
    QCOMPARE(state.overlayCount(), 1);
    QCOMPARE(state.overlay(0), a);
}

QTEST_GUILESS_MAIN(TestReviewState)
#include "tst_review_state.moc"
