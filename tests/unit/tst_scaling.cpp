// The conversions of the module's replies, against known values: the ends of each byte range,
// the bytes where the MAP limit takes effect, and the engine-speed counts that matter.
#include "link/Scaling.h"
#include "recovery/CommError.h"

#include <QtTest>

using namespace ignivex;

class TestScaling : public QObject {
    Q_OBJECT
private slots:
    void map_data();
    void map();
    void singleByteChannels_data();
    void singleByteChannels();
    void rpm_data();
    void rpm();
    void rpmCountZeroIsDivisionByZero();
};

void TestScaling::map_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("byte");
    QTest::addColumn<float>("expected");
    QTest::newRow("1: 0x00") << 1 << 0x00 << 3.1f;
    QTest::newRow("1: 0x80") << 1 << 0x80 << 17.0f;
    QTest::newRow("1: 0xF6 is exactly the top") << 1 << 0xF6 << 30.0f;
    QTest::newRow("1: 0xF7 held at the top (30.1)") << 1 << 0xF7 << 30.0f;
    QTest::newRow("1: 0xFF") << 1 << 0xFF << 30.0f;
    QTest::newRow("2: 0x00") << 2 << 0x00 << 2.4f;
    QTest::newRow("2: 0x80") << 2 << 0x80 << 32.0f;
    QTest::newRow("2: 0xF9 is exactly the top") << 2 << 0xF9 << 60.0f;
    QTest::newRow("2: 0xFA held at the top (60.3)") << 2 << 0xFA << 60.0f;
    QTest::newRow("2: 0xFF") << 2 << 0xFF << 60.0f;
    QTest::newRow("3: 0x00") << 3 << 0x00 << 0.3f;
    QTest::newRow("3: 0x80") << 3 << 0x80 << 46.9f;
    QTest::newRow("3: 0xF6 just below the top") << 3 << 0xF6 << 89.9f;
    QTest::newRow("3: 0xF7 held at the top (90.3)") << 3 << 0xF7 << 90.0f;
    QTest::newRow("3: 0xFF") << 3 << 0xFF << 90.0f;
    QTest::newRow("0: no sensor gives 0") << 0 << 0x80 << 0.0f;
    QTest::newRow("0: 0xFF") << 0 << 0xFF << 0.0f;
    QTest::newRow("7 uses the 0..90 row") << 7 << 0x80 << 46.9f;
    QTest::newRow("-1 uses the 0..90 row") << -1 << 0xF7 << 90.0f;
}

void TestScaling::map() {
    QFETCH(int, code);
    QFETCH(int, byte);
    QFETCH(float, expected);
    const float value = scaling::map(std::uint8_t(byte), std::int16_t(code));
    QVERIFY2(value == expected, qPrintable(QString::number(value, 'g', 9)));
}

void TestScaling::singleByteChannels_data() {
    QTest::addColumn<QString>("channel");
    QTest::addColumn<int>("byte");
    QTest::addColumn<float>("expected");
    QTest::newRow("battery 0x00") << "battery" << 0x00 << 0.0f;
    QTest::newRow("battery 0x80") << "battery" << 0x80 << 9.0352941f;
    QTest::newRow("battery 0xFF") << "battery" << 0xFF << 18.0f;
    QTest::newRow("advance 0x00") << "advance" << 0x00 << 0.0f;
    QTest::newRow("advance 0x80: 0.17578, not 45/256") << "advance" << 0x80 << 22.49984f;
    QTest::newRow("advance 0xFF") << "advance" << 0xFF << 44.8239f;
    QTest::newRow("gpi3 0x00") << "gpi3" << 0x00 << 0.0f;
    QTest::newRow("gpi3 0x80") << "gpi3" << 0x80 << 2.5098039f;
    QTest::newRow("gpi3 0xFF") << "gpi3" << 0xFF << 5.0f;
}

void TestScaling::singleByteChannels() {
    QFETCH(QString, channel);
    QFETCH(int, byte);
    QFETCH(float, expected);
    const auto b = std::uint8_t(byte);
    const float value = channel == "battery"   ? scaling::battery(b)
                        : channel == "advance" ? scaling::advance(b)
                                               : scaling::gpi3(b);
    // Exactly: a fuzzy compare cannot tell 0.17578 from 45/256 (22.49984 from 22.5).
    QVERIFY2(value == expected, qPrintable(QString::number(value, 'g', 9)));
}

void TestScaling::rpm_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<float>("rpm");
    QTest::newRow("count 1") << 0x01 << 0x00 << 3750000.0f;
    QTest::newRow("count 4096: low byte first") << 0x00 << 0x10 << 915.52734375f;
    QTest::newRow("count 65534") << 0xFE << 0xFF << 57.2222f;
    QTest::newRow("count 65535 is a stopped engine") << 0xFF << 0xFF << 0.0f;
}

void TestScaling::rpm() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(float, rpm);
    QCOMPARE(scaling::rpm(std::uint8_t(low), std::uint8_t(high)), rpm);
}

void TestScaling::rpmCountZeroIsDivisionByZero() {
    try {
        scaling::rpm(0, 0);
        QFAIL("a count of 0 must not give a speed");
    } catch (const CommError& error) {
        QCOMPARE(error.number(), kErrDivisionByZero);
        QVERIFY(error.description().startsWith(QStringLiteral("Division by zero")));
    }
}

QTEST_GUILESS_MAIN(TestScaling)
#include "tst_scaling.moc"
