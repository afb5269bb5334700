#include "display/DialGauge.h"
#include "display/GaugeSupport.h"
#include "display/LinearGauge.h"
#include "support/PanelScale.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace ignivex;
using namespace ignivex::test;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The panel's scales by caption; "MAP wide" is the manifold-pressure gauge as a 0..60 sensor
// lays it out, "BAT V black first" the battery bands in another order (edges must not change).
void apply(LinearGauge& g, const QString& name) {
    applyScale(g, scaleNamed(name.section(QLatin1Char(' '), 0, name.startsWith("BAT") ? 1 : 0)));
    if (name == "MAP wide")
        layOutMapGauge(g, 2);
    if (name == "BAT V black first") {
        QList<GaugeBand> bands = g.bands();
        bands.move(1, 0);
        g.setBands(bands);
    }
}

}  // namespace

class TestGauges : public QObject {
    Q_OBJECT
private slots:
    void tickLabel_data();
    void tickLabel();
    void tickValues_data();
    void tickValues();
    void panelLabels_data();
    void panelLabels();
    void pointerPosition_data();
    void pointerPosition();
    void zeroSitsOnLowestTick_data();
    void zeroSitsOnLowestTick();
    void bandAt_data();
    void bandAt();
    void bandWrites_data();
    void bandWrites();
    void dialAngle_data();
    void dialAngle();
    void dialLabelStep_data();
    void dialLabelStep();
    void dialSettingsClamp_data();
    void dialSettingsClamp();
    void colorName_data();
    void colorName();
};

void TestGauges::tickLabel_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << 0.5 << "0.5";
    QTest::newRow("whole") << 5.0 << "5";
    QTest::newRow("two digits") << 18.0 << "18";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative fraction") << -0.2 << "-0.2";
    QTest::newRow("binary noise hidden") << 0.1 * 3 << "0.3";
    QTest::newRow("six significant digits") << 1234567.0 << "1.23457e+06";
}

void TestGauges::tickLabel() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(gauge::tickLabel(value), text);
}

void TestGauges::tickValues_data() {
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("step");
    QTest::addColumn<QStringList>("labels");  // via "%g", which is what the face shows
    QTest::addColumn<int>("count");

    QTest::newRow("end reached despite binary fractions")
        << 0.0 << 1.0 << 0.1
        << QStringList{"0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1"}
        << 11;
    QTest::newRow("end not on a step is not labelled")
        << 0.0 << 12.0 << 5.0 << QStringList{"0", "5", "10"} << 3;
    QTest::newRow("a near-zero sum is exactly 0, not -0 or 5.55e-17")
        << -0.3 << 0.1 << 0.1 << QStringList{"-0.3", "-0.2", "-0.1", "0", "0.1"} << 5;
    QTest::newRow("single tick when start equals end")
        << 3.0 << 3.0 << 1.0 << QStringList{"3"} << 1;
    QTest::newRow("zero step draws none") << 0.0 << 30.0 << 0.0 << QStringList{} << 0;
    QTest::newRow("negative step draws none") << 0.0 << 30.0 << -5.0 << QStringList{} << 0;
    QTest::newRow("end below start draws none") << 30.0 << 0.0 << 5.0 << QStringList{} << 0;
    QTest::newRow("NaN step draws none") << 0.0 << 30.0 << kNaN << QStringList{} << 0;
    QTest::newRow("infinite end draws none") << 0.0 << kInf << 5.0 << QStringList{} << 0;
    QTest::newRow("tiny step is capped") << 0.0 << 1.0 << 1e-9 << QStringList{} << gauge::kMaxTicks;
}

void TestGauges::tickValues() {
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(double, step);
    QFETCH(QStringList, labels);
    QFETCH(int, count);
    const QList<double> values = gauge::tickValues(start, end, step);
    QCOMPARE(values.size(), count);
    if (!labels.isEmpty()) {
        QStringList texts;
        for (double v : values)
            texts << gauge::tickLabel(v);
        QCOMPARE(texts, labels);
    }
}

void TestGauges::panelLabels_data() {
    QTest::addColumn<QString>("gauge");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("MAP") << "MAP" << QStringList{"0", "5", "10", "15", "20", "25", "30"};
    QTest::newRow("MAP wide") << "MAP wide" << QStringList{"0", "10", "20", "30", "40", "50", "60"};
    QTest::newRow("ADV") << "ADV"
                         << QStringList{"0", "5", "10", "15", "20", "25", "30", "35", "40", "45"};
    QTest::newRow("GPI3A") << "GPI3A" << QStringList{"0", "0.5", "1", "1.5", "2", "2.5",
                                                     "3", "3.5", "4", "4.5", "5"};
    QTest::newRow("BAT V") << "BAT V"
                           << QStringList{"0", "2", "4", "6", "8", "10", "12", "14", "16", "18"};
}

void TestGauges::panelLabels() {
    QFETCH(QString, gauge);
    QFETCH(QStringList, labels);
    LinearGauge g;
    apply(g, gauge);
    QCOMPARE(g.tickLabels(), labels);
}

// Position as the fraction of the scale's height above its bottom.
void TestGauges::pointerPosition_data() {
    QTest::addColumn<QString>("gauge");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("fraction");  // NaN: no position
    QTest::newRow("MAP at the minimum") << "MAP" << -1.0 << 0.0;
    QTest::newRow("MAP at the maximum") << "MAP" << 31.0 << 1.0;
    QTest::newRow("MAP midway") << "MAP" << 15.0 << 0.5;
    QTest::newRow("MAP below the scale clamps") << "MAP" << -7.0 << 0.0;
    QTest::newRow("MAP above the scale clamps") << "MAP" << 90.0 << 1.0;
    QTest::newRow("MAP +inf clamps to the top") << "MAP" << kInf << 1.0;
    QTest::newRow("MAP -inf clamps to the bottom") << "MAP" << -kInf << 0.0;
    QTest::newRow("MAP NaN has no position") << "MAP" << kNaN << kNaN;
    QTest::newRow("GPI3A 2.5 is midway") << "GPI3A" << 2.5 << 0.5;
    QTest::newRow("GPI3A 5.2 is the top") << "GPI3A" << 5.2 << 1.0;
    QTest::newRow("BAT 9") << "BAT V" << 9.0 << 0.5;
    QTest::newRow("ADV 45 just under the top") << "ADV" << 45.0 << 47.0 / 49.0;
}

void TestGauges::pointerPosition() {
    QFETCH(QString, gauge);
    QFETCH(double, value);
    QFETCH(double, fraction);
    LinearGauge g;
    g.resize(g.sizeHint());
    g.setCaption(gauge);
    apply(g, gauge);
    const QRectF scale = g.scaleRect();
    QVERIFY(scale.height() > 150.0);  // the panel size leaves most of the height to the scale
    const double y = g.valueToY(value);
    if (std::isnan(fraction)) {
        QVERIFY(std::isnan(y));
        return;
    }
    QVERIFY(qAbs(y - (scale.bottom() - fraction * scale.height())) < 1e-9);
}

void TestGauges::zeroSitsOnLowestTick_data() {
    QTest::addColumn<QString>("gauge");
    for (const char* name : {"MAP", "MAP wide", "ADV", "GPI3A", "BAT V"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestGauges::zeroSitsOnLowestTick() {
    QFETCH(QString, gauge);
    LinearGauge g;
    g.resize(g.sizeHint());
    apply(g, gauge);
    const QList<double> ticks = g.tickValues();
    QVERIFY(!ticks.isEmpty());
    QCOMPARE(ticks.first(), 0.0);
    QCOMPARE(g.valueToY(0.0), g.valueToY(ticks.first()));
    // ...and not on the end of the scale: at least a few pixels above it.
    QVERIFY(g.scaleRect().bottom() - g.valueToY(0.0) > 3.0);
}

void TestGauges::bandAt_data() {
    QTest::addColumn<QString>("gauge");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("band");
    // Battery: 0 = low red, 1 = black, 2 = high red.
    QTest::newRow("BAT scale bottom") << "BAT V" << -1.0 << 0;
    QTest::newRow("BAT 10.99") << "BAT V" << 10.99 << 0;
    QTest::newRow("BAT 11 is black") << "BAT V" << 11.0 << 1;
    QTest::newRow("BAT 13.8") << "BAT V" << 13.8 << 1;
    QTest::newRow("BAT 16 is black") << "BAT V" << 16.0 << 1;
    QTest::newRow("BAT 16.01") << "BAT V" << 16.01 << 2;
    QTest::newRow("BAT scale top") << "BAT V" << 19.0 << 2;
    QTest::newRow("BAT above the scale: pointer in the top band") << "BAT V" << 25.0 << 2;
    QTest::newRow("BAT below the scale: pointer in the bottom band") << "BAT V" << -3.0 << 0;
    QTest::newRow("BAT +inf") << "BAT V" << kInf << 2;
    QTest::newRow("BAT NaN: no band") << "BAT V" << kNaN << -1;
    // Listed black, low red, high red.
    QTest::newRow("black first: 10.99") << "BAT V black first" << 10.99 << 1;
    QTest::newRow("black first: 11 is black") << "BAT V black first" << 11.0 << 0;
    QTest::newRow("black first: 16 is black") << "BAT V black first" << 16.0 << 0;
    QTest::newRow("black first: 16.01") << "BAT V black first" << 16.01 << 2;
    // A band over the whole scale owns both of its edges.
    QTest::newRow("MAP bottom") << "MAP" << -1.0 << 0;
    QTest::newRow("MAP top") << "MAP" << 31.0 << 0;
    QTest::newRow("MAP zero") << "MAP" << 0.0 << 0;
}

void TestGauges::bandAt() {
    QFETCH(QString, gauge);
    QFETCH(double, value);
    QFETCH(int, band);
    LinearGauge g;
    apply(g, gauge);
    QCOMPARE(g.bandIndexAt(value), band);
}

// Band writes go to the selected band; "select" clamps, the palette bounds colour writes.
void TestGauges::bandWrites_data() {
    QTest::addColumn<int>("select");
    QTest::addColumn<int>("colorIndex");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("bandCount");
    QTest::addColumn<QColor>("color");  // of the selected band afterwards
    QTest::addColumn<int>("colorIndexAfter");

    QTest::newRow("first band red") << 0 << 1 << 0 << 2 << QColor(255, 0, 0) << 1;
    QTest::newRow("second band amber") << 1 << 2 << 1 << 2 << QColor(255, 191, 0) << 2;
    QTest::newRow("past the end appends empty black bands")
        << 4 << 0 << 4 << 5 << QColor(0, 0, 0) << 0;
    QTest::newRow("negative selects the first") << -3 << 3 << 0 << 2 << QColor(0, 255, 0) << 3;
    QTest::newRow("beyond the limit selects the last allowed")
        << 99 << 0 << LinearGauge::kMaxBands - 1 << LinearGauge::kMaxBands << QColor(0, 0, 0) << 0;
    QTest::newRow("colour index outside the palette changes nothing")
        << 1 << 6 << 1 << 2 << QColor(0, 0, 255) << 4;
    QTest::newRow("negative colour index changes nothing")
        << 0 << -1 << 0 << 2 << QColor(255, 255, 255) << 5;
}

void TestGauges::bandWrites() {
    QFETCH(int, select);
    QFETCH(int, colorIndex);
    QFETCH(int, selected);
    QFETCH(int, bandCount);
    QFETCH(QColor, color);
    QFETCH(int, colorIndexAfter);
    LinearGauge g;
    g.setScaleRange(0, 100);
    g.setBands({{0, 50, QColor(255, 255, 255)}, {50, 100, QColor(0, 0, 255)}});
    g.selectBand(select);
    QCOMPARE(g.selectedBand(), selected);
    g.setBandColorIndex(colorIndex);
    g.setBandLower(10);
    g.setBandUpper(20);
    const QList<GaugeBand> bands = g.bands();
    QCOMPARE(bands.size(), bandCount);
    QCOMPARE(bands[selected].color, color);
    QCOMPARE(bands[selected].from, 10.0);
    QCOMPARE(bands[selected].to, 20.0);
    QCOMPARE(g.bandColorIndex(), colorIndexAfter);
    for (int i = 2; i < bandCount; ++i) {
        if (i != selected)
            QCOMPARE(bands[i].from, bands[i].to);  // padding is empty
    }
}

void TestGauges::dialAngle_data() {
    QTest::addColumn<int>("maximum");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("angle");
    QTest::newRow("0 at the lower left") << 10 << 0.0 << 225.0;
    QTest::newRow("7") << 10 << 7.0 << 36.0;
    QTest::newRow("5 straight up") << 10 << 5.0 << 90.0;
    QTest::newRow("10 at the lower right") << 10 << 10.0 << -45.0;
    QTest::newRow("beyond the maximum rests there") << 10 << 12.5 << -45.0;
    QTest::newRow("+inf rests at the maximum") << 10 << kInf << -45.0;
    QTest::newRow("negative rests at 0") << 10 << -0.5 << 225.0;
    QTest::newRow("NaN has no direction") << 10 << kNaN << kNaN;
    QTest::newRow("scale to 8: 8 at the lower right") << 8 << 8.0 << -45.0;
    QTest::newRow("scale to 8: 7") << 8 << 7.0 << 225.0 - 270.0 * 7.0 / 8.0;
}

void TestGauges::dialAngle() {
    QFETCH(int, maximum);
    QFETCH(double, value);
    QFETCH(double, angle);
    DialGauge d;
    d.setScaleMaximum(std::int16_t(maximum));
    const double a = d.angleFor(value);
    if (std::isnan(angle))
        QVERIFY(std::isnan(a));
    else
        QVERIFY2(qAbs(a - angle) < 1e-9, qPrintable(QString::number(a)));
}

void TestGauges::dialLabelStep_data() {
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("step");
    QTest::newRow("8") << 8 << 1;
    QTest::newRow("12 still every thousand") << 12 << 1;
    QTest::newRow("13 every two") << 13 << 2;
    QTest::newRow("24") << 24 << 2;
    QTest::newRow("25: labels 0 to 24 every two") << 25 << 2;
    QTest::newRow("26 every five") << 26 << 5;
    QTest::newRow("32767") << 32767 << 5000;
}

void TestGauges::dialLabelStep() {
    QFETCH(int, maximum);
    QFETCH(int, step);
    DialGauge d;
    d.setScaleMaximum(std::int16_t(maximum));
    QCOMPARE(d.labelStep(), step);
}

void TestGauges::dialSettingsClamp_data() {
    QTest::addColumn<int>("maximumIn");
    QTest::addColumn<int>("needleIn");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("needle");
    QTest::newRow("as written") << 10 << 3 << 10 << 3;
    QTest::newRow("zero maximum is one thousand") << 0 << 1 << 1 << 1;
    QTest::newRow("negative values") << -5 << -2 << 1 << 1;
    QTest::newRow("needle too wide") << 16 << 400 << 16 << DialGauge::kMaxNeedleWidth;
}

void TestGauges::dialSettingsClamp() {
    QFETCH(int, maximumIn);
    QFETCH(int, needleIn);
    QFETCH(int, maximum);
    QFETCH(int, needle);
    DialGauge d;
    d.setScaleMaximum(std::int16_t(maximumIn));
    d.setNeedleWidth(std::int16_t(needleIn));
    QCOMPARE(d.scaleMaximum(), maximum);
    QCOMPARE(d.needleWidth(), needle);
}

void TestGauges::colorName_data() {
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("name");
    QTest::newRow("black") << QColor(0, 0, 0) << "black";
    QTest::newRow("red") << QColor(255, 0, 0) << "red";
    QTest::newRow("green") << QColor(0, 255, 0) << "green";
    QTest::newRow("other") << QColor(1, 2, 3) << "#010203";
    QTest::newRow("nearly red") << QColor(254, 0, 0) << "#fe0000";
}

void TestGauges::colorName() {
    QFETCH(QColor, color);
    QFETCH(QString, name);
    QCOMPARE(gauge::colorName(color), name);
}

QTEST_MAIN(TestGauges)
#include "tst_gauges.moc"
