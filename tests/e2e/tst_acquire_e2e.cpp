// The acquisition core with no display at all (QCoreApplication): the link brought up and one
// full tick against the simulator, as the headless logger runs it.
#include "acquire/Acquisition.h"
#include "support/SimRigs.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

class TestAcquireEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void oneTickGivesACompleteSample_data();
    void oneTickGivesACompleteSample();
};

void TestAcquireEndToEnd::oneTickGivesACompleteSample_data() {
    QTest::addColumn<QStringList>("pacing");
    QTest::newRow("unpaced") << QStringList{};
    QTest::newRow("at the wire speed") << QStringList{"--paced"};
}

void TestAcquireEndToEnd::oneTickGivesACompleteSample() {
    QFETCH(QStringList, pacing);
    QVERIFY(!qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
    LinkRig rig(
        QStringLiteral(IGNIVEX_SIM), 2,
        QStringList{"--rpm-count", "4096", "--map", "0x80", "--bat", "0xFF", "--adv", "0x80",
                    "--gpi", "0x1C", "--gpi3", "0x80", "--status", "0x02", "--id", "IGX-2"} +
            pacing);
    QVERIFY(rig.sim.ok());
    Acquisition acquisition(rig.link, rig.clock, rig.boxes, rig.state);
    const Acquisition::Opening opening = acquisition.openLink();
    QCOMPARE(opening.rangeCode, std::int16_t(2));
    QCOMPARE(rig.state.firmwareId, QStringLiteral("IGX-2"));

    QList<Channel> order;
    connect(&acquisition, &Acquisition::channelRead,
            [&](Channel c, float, const Sample&) { order << c; });
    QSignalSpy samples(&acquisition, &Acquisition::sampleReady);
    const Instant before = rig.clock.now();
    rig.state.viewActive = true;
    acquisition.tmrDataRead_Timer();

    QCOMPARE(rig.boxes.count(), 0);
    QCOMPARE(order, (QList<Channel>{Channel::Inputs, Channel::Map, Channel::Battery, Channel::Rpm,
                                    Channel::Advance}));
    QCOMPARE(samples.count(), 1);
    const auto s = samples.first().first().value<Sample>();
    QCOMPARE(s.end, Sample::End::Complete);
    QVERIFY(s.monotonic >= before);
    QVERIFY(s.wallClock.isValid());
    QCOMPARE(*s.gpiBits, std::int16_t(0x1C));
    QCOMPARE(*s.gpi3Analog, 2.5098039f);
    QCOMPARE(*s.map, 32.0f);  // range 2, 0x80
    QCOMPARE(*s.battery, 18.0f);
    QCOMPARE(*s.rpm, 915.52734375f);
    QVERIFY(*s.advance == 22.49984f);
}

QTEST_GUILESS_MAIN(TestAcquireEndToEnd)
#include "tst_acquire_e2e.moc"
