// The alarms' hold times on the rows' own times, the alarm option's text, the stretch files'
// names and the bound on the rows a trigger keeps from before it.
#include "watch/AlarmSet.h"
#include "watch/StartTrigger.h"
#include "watch/WatchedRecording.h"

#include <QtTest>

using namespace ignivex;
using namespace ignivex::watch;

namespace {
// "t:rpm" rows, "t:-" a row without engine speed.
std::vector<Sample> rowsOf(const QString& run) {
    std::vector<Sample> out;
    for (const QString& row : run.split(' ')) {
        Sample s;
        s.monotonic = Instant(std::chrono::milliseconds(qRound(row.section(':', 0, 0).toDouble() * 1000)));
        if (row.section(':', 1) != "-")
            s.rpm = row.section(':', 1).toFloat();
        out.push_back(s);
    }
    return out;
}
}  // namespace

class TestWatch : public QObject {
    Q_OBJECT
private slots:
    void holdTime_data();
    void holdTime();
    void alarmOption_data();
    void alarmOption();
    void stretchNames_data();
    void stretchNames();
    void keptRowsAreBounded();
};

// rpm > 7200: "fire@t"/"clear@t" where the alarm changes, and the rows marked.
void TestWatch::holdTime_data() {
    QTest::addColumn<double>("hold");
    QTest::addColumn<QString>("run");
    QTest::addColumn<QString>("changes");
    QTest::newRow("no hold: the first true row and the first false one")
        << 0.0 << "0:7000 0.5:7300 1:7000" << "fire@0.5 clear@1";
    QTest::newRow("held exactly the hold time") << 1.0 << "0:7300 0.5:7300 1:7300 1.5:7000 2:7000 2.5:7000"
                                                << "fire@1 clear@2.5";
    QTest::newRow("a false row breaks the hold") << 1.0 << "0:7300 0.5:7300 0.9:7000 1:7300 1.9:7300 2:7300"
                                                 << "fire@2";
    QTest::newRow("a row without the value breaks it too") << 1.0 << "0:7300 0.5:- 1:7300 1.9:7300"
                                                           << "";
    QTest::newRow("and the clearing") << 0.3 << "0:7300 0.3:7300 0.4:7000 0.6:- 0.7:7000 1:7000"
                                      << "fire@0.3 clear@1";
    QTest::newRow("rows far apart: the first row past the hold")
        << 2.0 << "0:7300 5:7300 6:7000 30:7000" << "fire@5 clear@30";
    QTest::newRow("0.3 - 0.1 in doubles is a hair below 0.2")
        << 0.2 << "0:7000 0.1:7300 0.2:7300 0.3:7300" << "fire@0.3";
    QTest::newRow("at the edge of the condition") << 0.0 << "0:7200 1:7200.1" << "fire@1";
}

void TestWatch::holdTime() {
    QFETCH(double, hold);
    QFETCH(QString, run);
    QFETCH(QString, changes);
    AlarmSet set;
    const auto problems = set.set({{"over-rev", "rpm > 7200", hold}, {"never", "rpm < 0", hold}});
    QVERIFY(!problems[0] && !problems[1]);
    QStringList seen;
    connect(&set, &AlarmSet::changed, this, [&](int index, const QString& text, bool firing, double t) {
        QCOMPARE(index, 0);
        QCOMPARE(text, QString("over-rev"));
        seen << QString("%1@%2").arg(firing ? "fire" : "clear").arg(t);
    });
    QStringList marked;
    for (const Sample& s : rowsOf(run)) {
        const QStringList marks = set.take(s);
        if (!marks.isEmpty())
            marked << QString("%1@%2").arg(marks.join(';')).arg(
                std::chrono::duration<double>(s.monotonic.time_since_epoch()).count());
        QCOMPARE(set.firing().size(), set.isFiring(0) ? 1 : 0);
    }
    QCOMPARE(seen.join(' '), changes);
    // A mark on each row it fired on, none where it cleared.
    QStringList fired = seen.filter("fire@");
    fired.replaceInStrings("fire@", "alarm: over-rev@");
    QCOMPARE(marked, fired);
}

void TestWatch::alarmOption_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("text");  // empty: refused
    QTest::addColumn<QString>("condition");
    QTest::newRow("text and formula") << "battery low: battery_v < 11.5" << "battery low"
                                      << "battery_v < 11.5";
    QTest::newRow("a colon in the formula") << "hot: rpm > 3000 ? 1 : 0" << "hot"
                                            << "rpm > 3000 ? 1 : 0";
    QTest::newRow("no colon") << "battery_v < 11.5" << "" << "";
    QTest::newRow("no text") << " : rpm > 1" << "" << "";
    QTest::newRow("no formula") << "low:  " << "" << "";
}

void TestWatch::alarmOption() {
    QFETCH(QString, given);
    QFETCH(QString, text);
    QFETCH(QString, condition);
    QString why;
    const auto alarm = alarmFrom(given, &why);
    QCOMPARE(alarm.has_value(), !text.isEmpty());
    if (alarm)
        QCOMPARE((QStringList{alarm->text, alarm->condition}), (QStringList{text, condition}));
    else
        QVERIFY(why.contains("TEXT: FORMULA"));
}

void TestWatch::stretchNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("second");
    QTest::newRow("an extension") << "/logs/run.csv" << "/logs/run-2.csv";
    QTest::newRow("none") << "run" << "run-2";
    QTest::newRow("dots in the folder") << "/a.b/run" << "/a.b/run-2";
    QTest::newRow("two dots") << "pull.3rd.csv" << "pull.3rd-2.csv";
    QTest::newRow("a name that begins with a dot") << "/logs/.csv" << "/logs/.csv-2";
}

void TestWatch::stretchNames() {
    QFETCH(QString, path);
    QFETCH(QString, second);
    QCOMPARE(stretchPath(path, 2), second);
}

// Rows far faster than any tick, over a wait far longer than the seconds kept: what is held
// stays within the seconds asked for at the fastest rate, and the trigger gets the newest.
void TestWatch::keptRowsAreBounded() {
    StartTrigger trigger({"rpm > 1", 2, 0});
    QCOMPARE(trigger.heldLimit(), std::size_t(2 * kMostRowsPerSecond + 1));
    std::size_t most = 0;
    for (int i = 0; i < 100000; ++i) {  // a row a millisecond for 100 s
        Sample s;
        s.rpm = float(i);
        trigger.take({s, {}}, i / 1000.0, Verdict::False);
        most = std::max(most, trigger.held());
    }
    QCOMPARE(most, trigger.heldLimit());
    const auto step = trigger.take({Sample{}, {}}, 100.0, Verdict::True);
    QCOMPARE(step.begin.size(), trigger.heldLimit());
    QCOMPARE(*step.begin.back().sample.rpm, 99999.0f);
    QVERIFY(step.starts && step.write);
}

QTEST_MAIN(TestWatch)
#include "tst_watch.moc"
