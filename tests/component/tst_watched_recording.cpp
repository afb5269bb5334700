// A recording that starts itself, from File, Record…, over a scripted run: the rows kept from
// before the trigger, the stretch that goes on through a lost link and ends some seconds after
// its condition, a file per stretch, and an alarm's mark on the row it fired on. The Record
// dialog says beside its field why a condition cannot be read.
#include "app/AlarmsDialog.h"
#include "app/RecordDialog.h"
#include "app/RecordingControl.h"
#include "base/AppIdentity.h"
#include "display/RealTimePanel.h"
#include "display/RecordingIndicator.h"
#include "record/RecordFormat.h"
#include "support/MainHarness.h"
#include "watch/AlarmStore.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

class TestWatchedRecording : public QObject {
    Q_OBJECT
private slots:
    void stretchesOfAScriptedRun_data();
    void stretchesOfAScriptedRun();
    void dialogSaysWhyAConditionCannotBeRead_data();
    void dialogSaysWhyAConditionCannotBeRead();
    void alarmsAreKeptAndWatched();
};

// The run: "t:volts" a row of the battery at t seconds, "t:-" a row of a lost link (no value).
// The trigger is battery_v > 12, kept 1 s before, stopping 1 s after; the alarm "high" is
// battery_v > 12.5 held 0.5 s. A file's rows: "elapsed status battery mark".
void TestWatchedRecording::stretchesOfAScriptedRun_data() {
    QTest::addColumn<QString>("run");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    // 1.5 starts (0.5 and 1.0 kept, 0.0 older); "high" held from 1.5 fires at 2.0; false from
    // 2.5, the stretch ends at 3.5, which is held. The lost link at 4.0 and 4.5 is held too,
    // 3.5 no longer (more than 1 s before 5.0). The link lost again at 5.5 neither ends the
    // stretch nor counts toward its end; false at 6.0, true at 6.5, false from 7.0: 7.5 is
    // its last row when the recording is stopped. "high" held from 5.0 is broken at 5.5.
    QTest::newRow("two stretches, the link lost while armed and while recording")
        << "0:10 0.5:10 1:10 1.5:13 2:13 2.5:10 3:10 3.5:10 4:- 4.5:- 5:13 5.5:- 6:10 6.5:13 "
           "7:10 7.5:10"
        << QStringList{"0.000 ok 10.000 ", "0.500 ok 10.000 ",
                       "1.000 ok 13.000 start: battery_v > 12", "1.500 ok 13.000 alarm: high",
                       "2.000 ok 10.000 ", "2.500 ok 10.000 "}
        << QStringList{"0.000 link-lost - ", "0.500 link-lost - ",
                       "1.000 ok 13.000 start: battery_v > 12", "1.500 link-lost - ",
                       "2.000 ok 10.000 ", "2.500 ok 13.000 ", "3.000 ok 10.000 ",
                       "3.500 ok 10.000 "};
    QTest::newRow("true from the first row: nothing before it to keep")
        << "0:13 0.5:10 1:10 1.5:10" << QStringList{"0.000 ok 13.000 start: battery_v > 12",
                                                    "0.500 ok 10.000 ", "1.000 ok 10.000 "}
        << QStringList{};
    QTest::newRow("a condition never true leaves no file")
        << "0:10 0.5:- 1:12 1.5:11" << QStringList{} << QStringList{};
}

void TestWatchedRecording::stretchesOfAScriptedRun() {
    QFETCH(QString, run);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    IsolatedConfig config;
    MainHarness h;
    h.showWithHealthyModule();
    QTemporaryDir dir;
    {
        QSettings settings = userSettings();
        watch::saveAlarms(settings, {{"high", "battery_v > 12.5", 0.5}});
    }
    QVERIFY(h.w().recording().reloadAlarms().isEmpty());
    h.prompts.path = dir.filePath("run.csv");
    h.prompts.chosenRate = Rate{2};
    h.prompts.trigger = watch::TriggerSettings{"battery_v > 12", 1, 1};
    h.w().recording().mnuRecord_Click();
    QVERIFY(h.w().fraRealTimeData()->recordingIndicator->armed());
    const QString shots = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (!shots.isEmpty() && QTest::currentDataTag()[0] == 't')
        QVERIFY(h.w().grab().save(shots + "/live-armed.png"));

    const Instant start = h.clock.now() + std::chrono::seconds(1);
    for (const QString& row : run.split(' ')) {
        Sample s;
        s.monotonic = start + std::chrono::milliseconds(qRound(row.section(':', 0, 0).toDouble() * 1000));
        s.wallClock = QDateTime::currentDateTime();
        const QString volts = row.section(':', 1);
        if (volts == "-")
            s.end = Sample::End::LinkLost;
        else
            s.battery = volts.toFloat();
        emit h.w().acquisition().sampleReady(s);
    }
    h.w().recording().mnuStopRecording_Click();
    QVERIFY(!h.w().fraRealTimeData()->recordingIndicator->armed());

    const QStringList expected[] = {first, second};
    for (int n = 1; n <= 3; ++n) {
        QFile f(dir.filePath(QString("run-%1.csv").arg(n)));
        const QStringList want = n <= 2 ? expected[n - 1] : QStringList{};
        QCOMPARE(f.exists(), !want.isEmpty());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QList<QByteArray> lines = f.readAll().split('\n');
        while (!lines.isEmpty() && !record::isHeaderRow(lines.takeFirst())) {
        }
        lines.removeAll(QByteArray());
        QStringList got;
        for (const QByteArray& line : lines) {
            const auto r = record::parseRow(line);
            QVERIFY2(r, line.constData());
            got << QString("%1 %2 %3 %4")
                       .arg(r->elapsed, 0, 'f', 3)
                       .arg(record::statusText(r->status))
                       .arg(r->battery ? QString::number(*r->battery, 'f', 3) : "-")
                       .arg(r->mark);
        }
        QCOMPARE(got, want);
    }
    QVERIFY(!QFileInfo::exists(dir.filePath("run.csv")));
}

void TestWatchedRecording::dialogSaysWhyAConditionCannotBeRead_data() {
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("says");  // beside the field; empty: OK may be pressed
    QTest::newRow("sound") << "rpm > 3000 && map > 20" << "";
    QTest::newRow("a channel of no name") << "rmp > 3000" << "rmp";
    QTest::newRow("empty") << "" << "Write the condition";
    QTest::newRow("a lone =") << "gpi1 = 1" << "write “==”";
}

void TestWatchedRecording::dialogSaysWhyAConditionCannotBeRead() {
    QFETCH(QString, condition);
    QFETCH(QString, says);
    RecordDialog dialog(nullptr, {Rate{10}, watch::TriggerSettings{condition, 2, 4}}, {});
    auto* problem = dialog.findChild<QLabel*>("lblStartWhenProblem");
    QVERIFY(problem->text().contains(says) && problem->text().isEmpty() == says.isEmpty());
    auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QCOMPARE(ok->isEnabled(), says.isEmpty());
    // Starting now needs no condition.
    dialog.findChild<QRadioButton*>("optStartNow")->setChecked(true);
    QVERIFY(ok->isEnabled() && problem->text().isEmpty());
    QCOMPARE(dialog.choice(), (RecordChoice{Rate{10}, std::nullopt}));
    dialog.findChild<QRadioButton*>("optStartWhen")->setChecked(true);
    QCOMPARE(dialog.choice().trigger->stopAfterSeconds, 4.0);

    const QString shots = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (!shots.isEmpty() && QTest::currentDataTag() == QString("a channel of no name")) {
        dialog.show();
        QVERIFY(dialog.grab().save(shots + "/record-dialog-trigger.png"));
    }
}

// File, Alarms…: what the dialog refuses, and what it keeps is watched at once; an alarm the
// settings hold that cannot be watched (a channel by formula gone since) is said.
void TestWatchedRecording::alarmsAreKeptAndWatched() {
    AlarmsDialog dialog(nullptr, {{"low", "battery_v < 11.5", 2}, {"", "rpm > 1", 0},
                                  {"hot", "adv >", 0}, {"slow", "rpm < 500", -1}}, {}, false);
    const QString problems = dialog.findChild<QLabel*>("lblAlarmProblems")->text();
    QCOMPARE(problems.count('\n'), 2);
    QVERIFY(problems.contains("Row 2: give the alarm a text") &&
            problems.contains("Row 3 (hot): ") && problems.contains("Row 4: the hold time"));
    QVERIFY(!dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    if (const QString shots = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR"); !shots.isEmpty()) {
        dialog.show();
        QVERIFY(dialog.grab().save(shots + "/alarms-dialog.png"));
    }

    IsolatedConfig config;
    MainHarness h;
    h.showWithHealthyModule();
    const std::vector<watch::Alarm> kept{{"low", "battery_v < 11.5", 2}, {"fast", "twice > 1", 0}};
    h.prompts.editedAlarms = kept;
    h.w().recording().mnuAlarms_Click();
    QSettings settings = userSettings();
    QCOMPARE(watch::loadAlarms(settings), kept);
    QCOMPARE(h.w().recording().alarms().alarms(), kept);
    QTRY_COMPARE(h.boxes.count(), 1);
    QVERIFY2(h.boxes.shown[0].text.contains("not watched:\nfast: "), qPrintable(h.boxes.shown[0].text));
}

QTEST_MAIN(TestWatchedRecording)
#include "tst_watched_recording.moc"
