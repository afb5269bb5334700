#include "recovery/CommError.h"
#include "link/Scaling.h"

#include <QtTest>
#include <cmath>

using namespace ignivex;

class TestScaling : public QObject {
    Q_OBJECT
private slots:
    void map_data();
    void map();
    void mapOverTheWholeByteRange_data();
    void mapOverTheWholeByteRange();
    void battery_data();
    void battery();
    void advance_data();
    void advance();
    void gpi3_data();
    void gpi3();
    void singleByteChannelsOverTheWholeRange();
    void rpm_data();
    void rpm();
    void rpmOverEveryCount();
    void rpmCountZeroIsDivisionByZero();
};

void TestScaling::map_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("byte");
    QTest::addColumn<float>("expected");
    // Range 1: 0..30
    QTest::newRow("1: 0x00") << 1 << 0x00 << 3.1f;
    QTest::newRow("1: 0x80") << 1 << 0x80 << 17.0f;
    QTest::newRow("1: 0xF6 is exactly the top") << 1 << 0xF6 << 30.0f;
    QTest::newRow("1: 0xF7 held at the top") << 1 << 0xF7 << 30.0f;
    QTest::newRow("1: 0xFF") << 1 << 0xFF << 30.0f;
    // Range 2: 0..60
    QTest::newRow("2: 0x00") << 2 << 0x00 << 2.4f;
    QTest::newRow("2: 0x80") << 2 << 0x80 << 32.0f;
    QTest::newRow("2: 0xF9 is exactly the top") << 2 << 0xF9 << 60.0f;
    QTest::newRow("2: 0xFA held at the top") << 2 << 0xFA << 60.0f;
    // Range 3: 0..90
    QTest::newRow("3: 0x00") << 3 << 0x00 << 0.3f;
    QTest::newRow("3: 0x80") << 3 << 0x80 << 46.9f;
    QTest::newRow("3: 0xF6 just below the top") << 3 << 0xF6 << 89.9f;
    QTest::newRow("3: 0xF7 held at the top") << 3 << 0xF7 << 90.0f;
    // No sensor, and codes outside 0..3
    QTest::newRow("0: any byte gives 0") << 0 << 0x80 << 0.0f;
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

// Across every byte: a whole number of tenths, never above the limit, never falling, and the
// limit taking effect exactly where the table says.
void TestScaling::mapOverTheWholeByteRange_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("firstHeld");
    QTest::addColumn<float>("limit");
    QTest::newRow("range 1") << 1 << 247 << 30.0f;
    QTest::newRow("range 2") << 2 << 250 << 60.0f;
    QTest::newRow("range 3") << 3 << 247 << 90.0f;
}

void TestScaling::mapOverTheWholeByteRange() {
    QFETCH(int, code);
    QFETCH(int, firstHeld);
    QFETCH(float, limit);
    float previous = -1.0f;
    for (int b = 0; b <= 255; ++b) {
        const float value = scaling::map(std::uint8_t(b), std::int16_t(code));
        QVERIFY2(std::fabs(value * 10.0 - std::round(value * 10.0)) < 1e-4, qPrintable(QString::number(b)));
        QVERIFY(value <= limit);
        QVERIFY2(value >= previous, qPrintable(QString::number(b)));
        previous = value;
        const double unlimited = double(b) * 5.0 / 255.0 *
                                     (code == 1 ? 5.577 : code == 2 ? 11.812 : 18.5723) +
                                 (code == 1 ? 3.0509 : code == 2 ? 2.3634 : 0.3278);
        const bool held = std::round(unlimited * 10.0) / 10.0 > limit;
        QCOMPARE(held, b >= firstHeld);
    }
    QCOMPARE(scaling::mapLimit(std::int16_t(code)), limit);
}

void TestScaling::battery_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<float>("volts");
    QTest::newRow("0x00") << 0x00 << 0.0f;
    QTest::newRow("0x80") << 0x80 << float(128.0 * 18.0 / 255.0);
    QTest::newRow("0xFF") << 0xFF << 18.0f;
}

void TestScaling::battery() {
    QFETCH(int, byte);
    QFETCH(float, volts);
    QCOMPARE(scaling::battery(std::uint8_t(byte)), volts);
}

void TestScaling::advance_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<float>("degrees");
    QTest::newRow("0x00") << 0x00 << 0.0f;
    QTest::newRow("0x80: 0.17578, not 45/256") << 0x80 << 22.49984f;
    QTest::newRow("0xFF") << 0xFF << 44.8239f;
}

void TestScaling::advance() {
    QFETCH(int, byte);
    QFETCH(float, degrees);
    // Exactly: a fuzzy compare cannot tell 0.17578 from 45/256.
    const float value = scaling::advance(std::uint8_t(byte));
    QVERIFY2(value == degrees, qPrintable(QString::number(value, 'g', 9)));
    if (byte != 0)
        QVERIFY(value != static_cast<float>(byte * 45.0 / 256.0));
}

void TestScaling::gpi3_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<float>("volts");
    QTest::newRow("0x00") << 0x00 << 0.0f;
    QTest::newRow("0x80") << 0x80 << 2.5098039f;
    QTest::newRow("0xFF") << 0xFF << 5.0f;
}

void TestScaling::gpi3() {
    QFETCH(int, byte);
    QFETCH(float, volts);
    QCOMPARE(scaling::gpi3(std::uint8_t(byte)), volts);
}

// Single precision of a double-precision product, over every byte: no rounding anywhere else.
void TestScaling::singleByteChannelsOverTheWholeRange() {
    for (int b = 0; b <= 255; ++b) {
        QVERIFY(scaling::battery(std::uint8_t(b)) == static_cast<float>(b * 18.0 / 255.0));
        QVERIFY(scaling::gpi3(std::uint8_t(b)) == static_cast<float>(b * 5.0 / 255.0));
        QVERIFY(scaling::advance(std::uint8_t(b)) == static_cast<float>(b * 0.17578));
        if (b > 0) {
            QVERIFY(scaling::battery(std::uint8_t(b)) > scaling::battery(std::uint8_t(b - 1)));
            QVERIFY(scaling::advance(std::uint8_t(b)) > scaling::advance(std::uint8_t(b - 1)));
        }
    }
}

void TestScaling::rpm_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<float>("rpm");
    QTest::newRow("count 1") << 0x01 << 0x00 << 3750000.0f;
    QTest::newRow("count 4096: low byte first") << 0x00 << 0x10 << 915.52734375f;
    QTest::newRow("count 65534") << 0xFE << 0xFF << float(3750000.0 / 65534);
    QTest::newRow("count 65535 is a stopped engine") << 0xFF << 0xFF << 0.0f;
    QTest::newRow("count 256") << 0x00 << 0x01 << float(3750000.0 / 256);
    QTest::newRow("count 4687, idle") << 0x4F << 0x12 << float(3750000.0 / 4687);
}

void TestScaling::rpm() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(float, rpm);
    QVERIFY(scaling::rpm(std::uint8_t(low), std::uint8_t(high)) == rpm);
}

void TestScaling::rpmOverEveryCount() {
    float previous = std::numeric_limits<float>::infinity();
    for (int count = 1; count < 65535; ++count) {
        const float value = scaling::rpm(std::uint8_t(count & 0xFF), std::uint8_t(count >> 8));
        QVERIFY(value == static_cast<float>(3750000.0 / count));
        QVERIFY(value < previous);
        previous = value;
    }
    QVERIFY(std::fabs(previous - 57.2222f) < 1e-3f);
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
