// Recording from the window: what Record… starts, what the file holds, what stops it, and a
// disk that fills up while the live view goes on.
#include "app/RecordingControl.h"
#include "display/RealTimePanel.h"
#include "record/RecordFormat.h"
#include "support/MainHarness.h"

#include <QTemporaryDir>
#include "support/Bytes.h"

#include <QtTest>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

using namespace ignivex;
using namespace ignivex::test;

namespace {
struct Recording : MainHarness {
    IsolatedConfig config;
    QTemporaryDir dir;
    Recording() {
        showWithHealthyModule();
        prompts.path = dir.filePath("run.csv");
    }
    void tick() {
        clock.advance(std::chrono::milliseconds(100));
        w().acquisition().tmrDataRead_Timer();
    }
    QList<QByteArray> dataRows() {
        QFile f(*prompts.path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> rows = f.readAll().split('\n');
        while (!rows.isEmpty() && !record::isHeaderRow(rows.takeFirst())) {}
        rows.removeAll(QByteArray());
        return rows;
    }
};
}  // namespace

class TestRecording : public QObject {
    Q_OBJECT
private slots:
    void recordsEveryTickUntilStopped_data();
    void recordsEveryTickUntilStopped();
    void fullDiskStopsTheRecordingNotTheView();
};

void TestRecording::recordsEveryTickUntilStopped_data() {
    QTest::addColumn<QString>("stop");
    QTest::addColumn<Rate>("rate");
    QTest::addColumn<int>("interval");  // of the polling timer while recording
    QTest::newRow("Stop Recording, 10 a second") << "menu" << Rate{10} << 100;
    QTest::newRow("the view's Close, as fast as the link allows") << "close" << Rate{0} << 0;
    QTest::newRow("the window closes, 2 a second") << "window" << Rate{2} << 500;
}

void TestRecording::recordsEveryTickUntilStopped() {
    QFETCH(QString, stop);
    QFETCH(Rate, rate);
    QFETCH(int, interval);
    Recording h;
    h.prompts.chosenRate = rate;
    // Record… with the view closed opens it first.
    h.w().recording().mnuRecord_Click();
    QVERIFY(h.state.viewActive);
    QVERIFY(h.prompts.suggested.contains(QRegularExpression("/ignivex-\\d{8}-\\d{6}\\.csv$")));
    QCOMPARE(h.w().tmrDataRead()->interval(), interval);
    QVERIFY(h.w().fraRealTimeData()->recordingIndicator->isVisible());
    for (int i = 0; i < 3; ++i)
        h.tick();

    if (stop == "menu")
        h.w().recording().mnuStopRecording_Click();
    else if (stop == "close")
        h.w().fraRealTimeData()->cmdCloseRealTimeData->click();
    else
        h.w().close();
    QVERIFY(!h.w().recording().recording());
    QCOMPARE(h.w().tmrDataRead()->interval(), 500);
    h.tick();  // not recorded any more
    const QList<QByteArray> rows = h.dataRows();
    QCOMPARE(rows.size(), 3);
    double last = -1;
    for (const QByteArray& row : rows) {
        const auto r = record::parseRow(row);
        QVERIFY2(r, row.constData());
        QCOMPARE(r->status, Sample::End::Complete);
        QCOMPARE(*r->rpm, 915.5);
        QCOMPARE(*r->battery, 13.835);
        QVERIFY(r->elapsed > last);
        last = r->elapsed;
    }
    QCOMPARE(h.boxes.count(), 0);
    // The choice is kept for next time, in a group of its own; the port stays as it was.
    QCOMPARE(recording_settings::lastRate(), rate);
    QCOMPARE(h.config.stored(), QStringLiteral("1"));
}

// A disk that is full (here: a file-size limit) stops the recording with a message that names
// the file; the rows written stay, and polling goes on.
void TestRecording::fullDiskStopsTheRecordingNotTheView() {
#ifdef Q_OS_WIN
    QSKIP("Windows has no file-size limit to stand in for a full disk.");
#else
    Recording h;
    h.prompts.chosenRate = Rate{10};
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 1200;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    h.w().recording().mnuRecord_Click();
    for (int i = 0; i < 40 && h.w().recording().recording(); ++i) {
        h.tick();
        QTest::qWait(10);
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    // The message waits for the end of the tick it came in, then stands while polling goes on.
    QTRY_COMPARE(h.boxes.count(), 1);
    QVERIFY2(h.boxes.shown[0].text.contains(*h.prompts.path), qPrintable(h.boxes.shown[0].text));
    QVERIFY(h.boxes.shown[0].text.contains("largest size allowed"));
    QVERIFY(!h.w().recording().recording());
    QVERIFY(h.state.viewActive);
    const int kept = int(h.dataRows().size());
    QVERIFY(kept > 5);
    for (const QByteArray& row : h.dataRows())
        QVERIFY2(record::parseRow(row), row.constData());
    h.port.written.clear();
    h.tick();
    QCOMPARE(h.port.written, bytes({0x24, 0x22, 0x23, 0x20, 0x26}));
#endif
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
