// The live chart and the review against the moving simulator: what the chart holds is what the
// panel showed, a recording of it opens in the review, and replaying it drives the panel. Set
// IGNIVEX_SCREENSHOT_DIR for the pictures; the run then records a whole engine cycle.
#include "acquire/Acquisition.h"
#include "strips/ChannelsDialog.h"
#include "app/ChartWindows.h"
#include "live/LiveChartWindow.h"
#include "review/ReviewWindow.h"
#include "review/StatisticsPanel.h"
#include "display/RealTimePanel.h"
#include "app/RecordingControl.h"
#include "record/RecordFormat.h"
#include "support/ScriptedRecordPrompts.h"
#include "support/SimRigs.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace ignivex;
using namespace ignivex::test;

namespace {

QString screenshotDir() {
    return qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
}

// Windows side by side, as they stand on a desktop.
void screenshot(const QList<QWidget*>& windows, const QString& name) {
    if (screenshotDir().isEmpty())
        return;
    QList<QPixmap> shots;
    QSize size(0, 0);
    for (QWidget* w : windows) {
        shots << w->grab();
        size = QSize(size.width() + shots.last().width() + 16,
                     std::max(size.height(), shots.last().height()));
    }
    QPixmap all(size.width() - 16, size.height());
    all.fill(QColor(96, 104, 112));
    QPainter p(&all);
    int x = 0;
    for (const QPixmap& s : shots) {
        p.drawPixmap(x, 0, s);
        x += s.width() + 16;
    }
    QVERIFY(all.save(screenshotDir() + QLatin1Char('/') + name));
}

}  // namespace

class TestChartEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void liveChartRecordingAndReplay();
};

void TestChartEndToEnd::liveChartRecordingAndReplay() {
    ScriptedRecordPrompts prompts;
    AppRig app(QStringLiteral(IGNIVEX_SIM), 1, {QStringLiteral("--engine")},
               QStringLiteral(IGNIVEX_BIN_DIR), &prompts);
    QVERIFY(app.sim.ok());
    app.window.Show();
    app.window.mnuViewRealTime_Click();
    QVERIFY(app.state.viewActive);
    app.window.mnuViewChart_Click();
    chart::LiveChartWindow& live = *app.window.charts().chartWindow();
    live.resize(900, 560);

    // A recording of the same ticks (File, Record…), 20 a second; a whole engine cycle of 24 s
    // when the pictures are wanted.
    QTemporaryDir dir;
    prompts.path = dir.filePath(QStringLiteral("engine.csv"));
    prompts.chosenRate = Rate{20};
    app.window.recording().mnuRecord_Click();
    QVERIFY(app.window.recording().recording());
    const int seconds = screenshotDir().isEmpty() ? 2 : 27;
    QTest::qWait(seconds * 1000);
    app.window.tmrDataRead()->stop();
    app.window.recording().mnuStopRecording_Click();
    // Only the report of the saved file, with its offer of a workbook (declined).
    QCOMPARE(app.boxes.count(), 1);
    QVERIFY(app.boxes.shown[0].text.startsWith(QStringLiteral("Recorded ")));

    const record::Table& held = live.series().table();
    QVERIFY2(held.size() > std::size_t(seconds * 5), qPrintable(QString::number(held.size())));
    QCOMPARE(app.window.fraRealTimeData()->formatRpm(held.column(Value::Rpm).back()),
             app.window.fraRealTimeData()->gauTach->caption());
    // The values under the mouse pointer, 10 s before the newest.
    const double x = live.chart()->width() * 0.75;
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 200), live.chart()->mapToGlobal(QPointF(x, 200)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(live.chart(), &move);
    QVERIFY(live.chart()->pointerTime());
    live.showFrame();
    QTRY_VERIFY(!live.chart()->rendering() && live.chart()->picturesPainted() > 0);
    screenshot({&app.window, &live}, QStringLiteral("chart-live-beside-panel.png"));
    // Paused and scrolled back: the view holds still and says so.
    live.setFollowing(false);
    live.pan(-8);
    QCOMPARE(live.stateText(), QStringLiteral("paused"));
    live.showFrame();
    QTRY_VERIFY(!live.chart()->rendering());
    screenshot({&live}, QStringLiteral("chart-live-paused.png"));
    live.setFollowing(true);

    // The recording in the review, the cursor on the highest revs of the pull.
    app.window.charts().openRecording(*prompts.path);
    chart::ReviewWindow& review = *app.window.charts().reviewWindow();
    QTRY_VERIFY_WITH_TIMEOUT(review.recording() != nullptr, 10000);
    const chart::ChartData& data = *review.recording()->chart;
    QCOMPARE(data.table.size(), held.size());
    const std::vector<float>& rpm = data.table.column(Value::Rpm);
    const std::size_t peak =
        std::size_t(std::max_element(rpm.begin(), rpm.end(),
                                     [](float a, float b) {
                                         return std::isnan(a) || (!std::isnan(b) && a < b);
                                     }) -
                    rpm.begin());
    const double at = data.table.elapsed[peak];
    review.resize(1200, 720);
    review.setView(at - 9, at + 7);
    review.setCursor(at);
    screenshot({&review}, QStringLiteral("chart-review-pull.png"));

    // How long the pull took from 2000 to 6000 rpm: cursor A where it passed 2000, B at 6000.
    std::size_t from = peak, to = peak;
    while (from > 0 && !(rpm[from - 1] < 2000))
        --from;
    while (to > from && !(rpm[to - 1] < 6000))
        --to;
    review.setCursor(data.table.elapsed[from]);
    review.setCursorB(data.table.elapsed[to]);
    review.refreshStatistics();
    QVERIFY(review.statistics()->text().contains("between the cursors"));
    screenshot({&review}, QStringLiteral("review-two-cursors-statistics.png"));
    review.setCursorB(std::nullopt);

    // The same drive laid over itself, moved 3 s later and dashed: the overlay at work.
    review.openOverlay(*prompts.path);
    QTRY_VERIFY_WITH_TIMEOUT(review.overlay() != nullptr, 10000);
    review.setOverlayShift(review.overlayShift() + 3.0);
    review.setView(at - 9, at + 9);
    review.setCursor(at);
    // Its picture, review-overlay.png, tst_review_tools makes of a recording at the fastest rate.
    review.closeOverlay();

    // Channels of one's choice: advance and MAP on one strip, the battery beside GPI3's volts,
    // the inputs together, GPI2 hidden, the rpm strip's scale fixed.
    review.chart()->setArrangement(chart::Arrangement::fromText(
        QStringLiteral("rpm@0:8000;advance+map;battery_v+gpi3_v;gpi1+gpi3")));
    screenshot({&review}, QStringLiteral("review-channels.png"));
    if (!screenshotDir().isEmpty()) {
        chart::ChannelsDialog channels(review.chart()->arrangement(), QStringLiteral("0 to 30"),
                                       &review);
        channels.select(2);
        channels.show();
        screenshot({&channels}, QStringLiteral("channels-dialog.png"));
    }
    review.chart()->setArrangement(chart::Arrangement::standard());

    // Replaying: the panel shows the recorded values at the cursor, and polling waits.
    review.setSpeed(4);
    review.play();
    review.setCursor(at);
    QVERIFY(app.window.acquisition().paused());
    QCOMPARE(app.window.fraRealTimeData()->gauTach->caption(),
             app.window.fraRealTimeData()->formatRpm(rpm[peak]));
    review.pause();
    screenshot({&app.window}, QStringLiteral("chart-panel-replaying.png"));
    review.close();
    QVERIFY(!app.window.acquisition().paused());
}

QTEST_MAIN(TestChartEndToEnd)
#include "tst_chart_e2e.moc"
