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
        while (!rows.isEmpty() && !record::isHeaderRow(rows.takeFirst())) {
        }
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
    void rowSaysWhatHappened_data();
    void rowSaysWhatHappened();
    void noModuleLeavesNoFile();
    void marksGoOnTheNextRow_data();
    void marksGoOnTheNextRow();
    void stopOffersTheWorkbook();
    void anotherMapRangeEndsTheFile();
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
    // In a folder that exists, given absolutely (here there is no documents folder).
    QVERIFY(QDir::isAbsolutePath(h.prompts.suggested));
    QVERIFY(QFileInfo(QFileInfo(h.prompts.suggested).path()).isDir());
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
    // File, Stop Recording reports the file and offers the workbook (declined here); the other
    // ways of stopping say nothing.
    QCOMPARE(h.boxes.count(), stop == "menu" ? 1 : 0);
    if (stop == "menu") {
        QVERIFY(h.boxes.shown[0].text.startsWith(QStringLiteral("Recorded 3 samples to ")));
        QCOMPARE(h.boxes.shown[0].style, box::YesNo + box::Question);
        QVERIFY(!QFileInfo::exists(h.dir.filePath("run.xlsx")));
    }
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

// A row is "ok" only when every read of its tick succeeded in the tick's own time; a prompt
// closes the row, so what is read after it is not written as the row's.
void TestRecording::rowSaysWhatHappened_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("cells");  // which of battery, rpm, advance the row holds
    QTest::newRow("a clean tick") << "none" << 0 << "ok"
                                  << "bra";
    QTest::newRow("engine speed times out, Ignore") << "rpm silent" << int(box::Ignore) << "ignored"
                                                    << "b";
    QTest::newRow("engine-speed count 0, Ignore") << "rpm zero" << int(box::Ignore) << "ignored"
                                                  << "b";
    QTest::newRow("the port fails to open, Retry") << "open fails once" << int(box::Retry) << "held"
                                                   << "";
    QTest::newRow("the battery reply with two bytes more") << "battery surplus" << 0 << "surplus"
                                                           << "bra";
}

void TestRecording::rowSaysWhatHappened() {
    QFETCH(QString, fault);
    QFETCH(int, answer);
    QFETCH(QString, status);
    QFETCH(QString, cells);
    Recording h;
    h.prompts.chosenRate = Rate{10};
    h.w().recording().mnuRecord_Click();
    if (fault == "rpm silent")
        h.port.clearReply(0x20);
    else if (fault == "rpm zero")
        h.port.setReply(0x20, bytes({0x00, 0x00}));
    else if (fault == "battery surplus")
        h.port.setReply(0x23, bytes({0xC4, 0xEE, 0xEE}));
    else if (fault == "open fails once") {
        h.port.setPortOpen(false);
        h.port.openError = CommError::raised("no port");
        h.boxes.onShow = [&h](const ScriptedBoxes::Shown&) { h.port.openError.reset(); };
    }
    if (answer)
        h.boxes.answer({answer});
    h.tick();
    h.w().recording().mnuStopRecording_Click();
    const QList<QByteArray> rows = h.dataRows();
    QCOMPARE(rows.size(), 1);
    const auto r = record::parseRow(rows[0]);
    QVERIFY2(r, rows[0].constData());
    QCOMPARE(record::statusText(r->status), status);
    QString held;
    if (r->battery)
        held += 'b';
    if (r->rpm)
        held += 'r';
    if (r->advance)
        held += 'a';
    QCOMPARE(held, cells);
    // The prompt answered, and the offer of a workbook after File, Stop Recording.
    QCOMPARE(h.boxes.count(), (answer ? 1 : 0) + 1);
}

// Record… with no module behind the port: the link is lost at the first tick, the view closes
// and with it the recording, and no file without a row is left in the way.
void TestRecording::noModuleLeavesNoFile() {
    Recording h;
    for (quint8 command : {0x33, 0x10, 0x2F, 0x24, 0x22, 0x23, 0x20, 0x26})
        h.port.clearReply(command);
    h.prompts.chosenRate = Rate{10};
    h.w().recording().mnuRecord_Click();
    QVERIFY(h.w().recording().recording());
    h.tick();
    QVERIFY(!h.w().recording().recording());
    QVERIFY(!QFileInfo::exists(*h.prompts.path));
}

// File, Mark marks the next row ("mark 1"); Mark with Note marks the row of the key press, the
// rows ticked while the note is typed waiting for it; Cancel marks nothing; a note typed for
// longer than the wait follows its mark; with no recording it says what to do.
void TestRecording::marksGoOnTheNextRow_data() {
    QTest::addColumn<int>("ticksWhileTyping");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("marks");  // of the rows after "mark 1"'s
    QTest::newRow("typed between two ticks") << 0 << false << QStringList{"pull; 2nd gear"};
    QTest::newRow("typed over three ticks")
        << 3 << false << QStringList{"pull; 2nd gear", "", "", ""};
    QTest::newRow("cancelled over two ticks") << 2 << true << QStringList{"", "", ""};
    // 100 ms a tick: the wait of half a minute has run out at the 302nd row.
    QStringList lapsed{"mark 2"};
    for (int i = 1; i < 302; ++i)
        lapsed << "";
    lapsed << "note to mark 2: pull; 2nd gear";
    QTest::newRow("typed for over half a minute") << 302 << false << lapsed;
}

void TestRecording::marksGoOnTheNextRow() {
    QFETCH(int, ticksWhileTyping);
    QFETCH(bool, cancel);
    QFETCH(QStringList, marks);
    Recording h;
    h.w().recording().mnuMark_Click();
    QCOMPARE(h.boxes.count(), 1);
    QVERIFY(h.boxes.shown.last().text.contains("Choose File, Record"));
    h.prompts.chosenRate = kViewRate;
    h.w().recording().mnuRecord_Click();
    h.tick();
    h.w().recording().mnuMark_Click();
    h.tick();
    if (!cancel)
        h.prompts.markNote = QStringLiteral("pull, 2nd gear");
    h.prompts.whileNoteOpen = [&] {
        for (int i = 0; i < ticksWhileTyping; ++i)
            h.tick();
    };
    h.w().recording().mnuMarkWithNote_Click();
    h.tick();
    h.w().recording().mnuStopRecording_Click();
    QStringList written;
    for (const QByteArray& row : h.dataRows())
        written << record::parseRow(row)->mark;
    QCOMPARE(written, QStringList({"", "mark 1"}) + marks);
}

// The view opened again while recording, and the module now reports another MAP range: the
// file's top names the range its MAP values are scaled for, so the file ends before them.
void TestRecording::anotherMapRangeEndsTheFile() {
    Recording h;
    h.prompts.chosenRate = Rate{10};
    h.w().recording().mnuRecord_Click();
    h.tick();
    h.port.setReply(0x2F, bytes({0x02}));
    h.w().mnuViewRealTime_Click();
    h.tick();
    QVERIFY(!h.w().recording().recording());
    QTRY_COMPARE(h.boxes.count(), 1);
    QVERIFY2(h.boxes.shown[0].text.contains("MAP range 2"), qPrintable(h.boxes.shown[0].text));
    QCOMPARE(h.dataRows().size(), 1);
}

// Yes to the offer after File, Stop Recording writes the workbook where the dialog said.
void TestRecording::stopOffersTheWorkbook() {
    Recording h;
    h.prompts.chosenRate = kViewRate;
    h.prompts.workbookPath = h.dir.filePath("run.xlsx");
    h.boxes.answer({box::Yes});
    h.w().recording().mnuRecord_Click();
    h.tick();
    h.tick();
    h.w().recording().mnuStopRecording_Click();
    QCOMPARE(h.boxes.count(), 1);
    QVERIFY(QFileInfo(*h.prompts.workbookPath).size() > 0);
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
