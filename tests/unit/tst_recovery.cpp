#include "recovery/CommError.h"
#include "recovery/ErrorPrompt.h"
#include "recovery/Recovery.h"
#include "support/ScriptedBoxes.h"

#include <QtTest>

using namespace ignivex;
using ignivex::test::ScriptedBoxes;

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void promptShowsDescriptionOnly();
    void policy_data();
    void policy();
    void cleanupFailureIsShownOnce();
};

void TestRecovery::promptShowsDescriptionOnly() {
    ScriptedBoxes boxes;
    boxes.answer({box::Retry});
    const int answer = ErrorPrompt(boxes, CommError::raised(QString::fromLatin1(kTimeoutText)));
    QCOMPARE(answer, box::Retry);
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.shown[0].text, QStringLiteral("RS-232 timeout. Check cable and click Abort."));
    QCOMPARE(boxes.shown[0].style, 18);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Error"));
}

// A procedure of three steps whose second step fails `failures` times. The trace records each
// step that completed and "cleanup".
void TestRecovery::policy_data() {
    QTest::addColumn<int>("failures");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("ignoreEnds");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<int>("prompts");

    QTest::newRow("no error") << 0 << QList<int>{} << false << "1 2 3" << true << 0;
    QTest::newRow("abort runs the clean-up and leaves")
        << 1 << QList<int>{box::Abort} << false << "1 cleanup" << false << 1;
    QTest::newRow("retry runs the same step again")
        << 2 << QList<int>{box::Retry, box::Retry} << false << "1 2 3" << true << 2;
    QTest::newRow("retry then abort")
        << 5 << QList<int>{box::Retry, box::Abort} << false << "1 cleanup" << false << 2;
    QTest::newRow("ignore goes on with the next step")
        << 1 << QList<int>{box::Ignore} << false << "1 3" << true << 1;
    QTest::newRow("ignore where the step ends the procedure")
        << 1 << QList<int>{box::Ignore} << true << "1" << false << 1;
    QTest::newRow("an answer outside the set counts as abort")
        << 1 << QList<int>{box::Ok} << false << "1 cleanup" << false << 1;
}

void TestRecovery::policy() {
    QFETCH(int, failures);
    QFETCH(QList<int>, answers);
    QFETCH(bool, ignoreEnds);
    QFETCH(QString, trace);
    QFETCH(bool, finished);
    QFETCH(int, prompts);

    ScriptedBoxes boxes;
    for (int a : answers)
        boxes.answer({a});
    QStringList done;
    Recovery r(boxes, [&] { done << "cleanup"; });
    int left = failures;
    const auto onIgnore =
        ignoreEnds ? Recovery::OnIgnore::EndProcedure : Recovery::OnIgnore::NextStep;
    const bool ran = r.step([&] { done << "1"; }) &&
                     r.step(
                         [&] {
                             if (left-- > 0)
                                 throw CommError::raised("step two failed");
                             done << "2";
                         },
                         onIgnore) &&
                     r.step([&] { done << "3"; });

    QCOMPARE(done.join(' '), trace);
    QCOMPARE(ran, finished);
    QCOMPARE(boxes.count(), prompts);
    QCOMPARE(r.aborted(), trace.contains("cleanup"));
}

void TestRecovery::cleanupFailureIsShownOnce() {
    ScriptedBoxes boxes;
    boxes.answer({box::Abort, box::Retry});
    Recovery r(boxes, [] { throw CommError::raised("close failed"); });
    QVERIFY(
        !r.steps({[] { throw CommError::raised("open failed"); }, [] { QFAIL("not reached"); }}));
    QCOMPARE(boxes.texts(), QStringList({"open failed", "close failed"}));
}

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
