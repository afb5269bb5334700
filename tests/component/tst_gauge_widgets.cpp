#include "display/DialGauge.h"
#include "display/GaugeSupport.h"
#include "display/LampShape.h"
#include "display/LinearGauge.h"
#include "display/RealTimePanel.h"
#include "support/PanelScale.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QLabel>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

using namespace ignivex;
using namespace ignivex::test;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Draws a widget the way the screen would at the given device pixel ratio.
QImage renderAt(QWidget* w, qreal dpr) {
    QPixmap pm(w->size() * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::black);
    w->render(&pm);
    return pm.toImage().convertToFormat(QImage::Format_RGB32);
}

bool isPointerColour(QRgb c) {  // the pointer is a saturated yellow
    return qRed(c) > 200 && qGreen(c) > 170 && qBlue(c) < 90;
}

bool isNeedleColour(QRgb c) {  // orange: red high, green in the middle, little blue
    return qRed(c) > 200 && qGreen(c) > 60 && qGreen(c) < 170 && qBlue(c) < 90;
}

// Mean row (in logical pixels) of the pointer-coloured pixels right of the scale bar; NaN when
// there are none.
double pointerRow(const QImage& img, const LinearGauge& g, qreal dpr) {
    const QRectF bar = g.scaleRect();
    double sum = 0.0;
    int n = 0;
    const int x0 = int(std::ceil((bar.right() + 2.0) * dpr));
    const int x1 = int(std::floor((g.width() - 4.0) * dpr));
    for (int y = 0; y < img.height(); ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (isPointerColour(img.pixel(x, y))) {
                sum += y;
                ++n;
            }
        }
    }
    return n ? (sum / n + 0.5) / dpr : kNaN;
}

}  // namespace

class TestGaugeWidgets : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void mapLayout_data();
    void mapLayout();
    void dialSetUp_data();
    void dialSetUp();

    void pointerDrawnAtReading_data();
    void pointerDrawnAtReading();
    void zeroPointerOnZeroTick_data();
    void zeroPointerOnZeroTick();
    void bandColourUnderReading_data();
    void bandColourUnderReading();
    void needleFollowsReading_data();
    void needleFollowsReading();
    void dialArcsFollowSettings_data();
    void dialArcsFollowSettings();
    void lampFill_data();
    void lampFill();

    void accessibleText_data();
    void accessibleText();
    void accessibleEvents_data();
    void accessibleEvents();
    void accessibleValueInterface();

    void panelScreenshots();

private:
    struct Sent {
        QObject* object;
        QAccessible::Event type;
        QVariant value;
    };
    QList<Sent> events_;
};

void TestGaugeWidgets::initTestCase() {
    gauge::setEventObserver([this](const QAccessibleEvent& e) {
        QVariant value;
        if (e.type() == QAccessible::ValueChanged)
            value = static_cast<const QAccessibleValueChangeEvent&>(e).value();
        events_.append({e.object(), e.type(), value});
    });
}

void TestGaugeWidgets::cleanupTestCase() {
    gauge::setEventObserver({});
}

void TestGaugeWidgets::init() {
    events_.clear();
}

// Whatever the gauge showed before, the view's layout leaves the documented state.
void TestGaugeWidgets::mapLayout_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("upper");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("bandCount");

    const QStringList narrow{"0", "5", "10", "15", "20", "25", "30"};
    const QStringList wide{"0", "10", "20", "30", "40", "50", "60"};
    QTest::newRow("code 1 over the panel's start") << "panel" << 1 << 31 << narrow << 1;
    QTest::newRow("code 2 over the panel's start") << "panel" << 2 << 61 << wide << 1;
    QTest::newRow("code 1 over code 2") << "wide" << 1 << 31 << narrow << 1;
    QTest::newRow("code 1 on a new gauge") << "new" << 1 << 31 << narrow << 1;
    QTest::newRow("code 3 on a new gauge") << "new" << 3 << 61 << wide << 1;
    QTest::newRow("code 1 over a hidden, red, busy gauge") << "odd" << 1 << 31 << narrow << 2;
}

void TestGaugeWidgets::mapLayout() {
    QFETCH(QString, before);
    QFETCH(int, code);
    QFETCH(int, upper);
    QFETCH(QStringList, labels);
    QFETCH(int, bandCount);

    QWidget parent;
    auto* g = new LinearGauge(&parent);
    if (before == "panel") {
        applyScale(*g, kMapScale);
    } else if (before == "wide") {
        applyScale(*g, kMapScale);
        layOutMapGauge(*g, 2);
    } else if (before == "odd") {
        g->setScaleRange(5, 8);
        g->setLabelRange(5, 8);
        g->setDivisionStep(1);
        g->setMinorTicks(4);
        g->setBands({{5, 6, Qt::red}, {6, 8, Qt::blue}});
        g->selectBand(1);
        g->setVisible(false);
    }
    parent.show();
    layOutMapGauge(*g, std::int16_t(code));

    QVERIFY(g->isVisible());
    QCOMPARE(g->selectedBand(), 0);
    QCOMPARE(g->bandColorIndex(), 0);
    QCOMPARE(g->minorTicks(), 0);
    QCOMPARE(g->scaleMinimum(), -1.0);
    QCOMPARE(g->scaleMaximum(), double(upper));
    QCOMPARE(g->bands().size(), bandCount);
    QCOMPARE(g->bands().first(), (GaugeBand{-1, double(upper), QColor(0, 0, 0)}));
    QCOMPARE(g->tickLabels(), labels);
    QCOMPARE(g->valueToY(0.0), g->valueToY(g->tickValues().first()));
}

void TestGaugeWidgets::dialSetUp_data() {
    QTest::addColumn<double>("warningBefore");
    QTest::addColumn<double>("redBefore");
    QTest::addColumn<int>("maxBefore");
    QTest::addColumn<int>("needleBefore");
    QTest::newRow("from its start") << 7.0 << 7.5 << 10 << 3;
    QTest::newRow("from another dial") << 4.0 << 5.0 << 6 << 8;
    QTest::newRow("from a reversed one") << 9.0 << 2.0 << 30 << 1;
}

void TestGaugeWidgets::dialSetUp() {
    QFETCH(double, warningBefore);
    QFETCH(double, redBefore);
    QFETCH(int, maxBefore);
    QFETCH(int, needleBefore);
    DialGauge d;
    d.setWarningStart(warningBefore);
    d.setRedlineStart(redBefore);
    d.setScaleMaximum(std::int16_t(maxBefore));
    d.setNeedleWidth(std::int16_t(needleBefore));

    // The view's set-up, then what every speed update writes.
    d.setWarningStart(7.0);
    d.setRedlineStart(7.5);
    d.setScaleMaximum(std::int16_t(10));
    d.setValue(double(float(915.52734f / 1000.0f)));
    d.setNeedleWidth(std::int16_t(3));
    d.setCaption(QStringLiteral("916"));

    QCOMPARE(d.warningStart(), 7.0);
    QCOMPARE(d.redlineStart(), 7.5);
    QCOMPARE(d.scaleMaximum(), 10);
    QCOMPARE(d.needleWidth(), 3);
    QCOMPARE(d.caption(), QStringLiteral("916"));
    QVERIFY(qAbs(d.value() - 0.91552734) < 1e-6);
}

void TestGaugeWidgets::pointerDrawnAtReading_data() {
    QTest::addColumn<QString>("gauge");
    QTest::addColumn<double>("value");
    QTest::addColumn<qreal>("dpr");
    for (qreal dpr : {1.0, 2.0}) {
        const QByteArray x = dpr == 1.0 ? " 1x" : " 2x";
        QTest::newRow("MAP 17.3" + x) << "MAP" << 17.3 << dpr;
        QTest::newRow("MAP bottom" + x) << "MAP" << -1.0 << dpr;
        QTest::newRow("MAP far above clamps" + x) << "MAP" << 250.0 << dpr;
        QTest::newRow("MAP -inf clamps" + x) << "MAP" << -kInf << dpr;
        QTest::newRow("MAP NaN: no pointer" + x) << "MAP" << kNaN << dpr;
        QTest::newRow("GPI3A 4.75" + x) << "GPI3A" << 4.75 << dpr;
        QTest::newRow("BAT 13.8" + x) << "BAT V" << 13.8 << dpr;
        QTest::newRow("ADV 45" + x) << "ADV" << 45.0 << dpr;
    }
}

void TestGaugeWidgets::pointerDrawnAtReading() {
    QFETCH(QString, gauge);
    QFETCH(double, value);
    QFETCH(qreal, dpr);
    LinearGauge g;
    applyScale(g, scaleNamed(gauge));
    g.resize(g.sizeHint());
    g.setPointerValue(value);
    const QImage img = renderAt(&g, dpr);
    QCOMPARE(img.size(), g.size() * dpr);
    const double row = pointerRow(img, g, dpr);
    const double expected = g.valueToY(value);
    if (std::isnan(expected)) {
        QVERIFY2(std::isnan(row), "a NaN reading drew a pointer");
        return;
    }
    QVERIFY2(qAbs(row - expected) <= 1.0,
             qPrintable(QStringLiteral("pointer at %1, expected %2").arg(row).arg(expected)));
}

// The drawn pointer and the drawn 0 tick share a row (not just the computed positions).
void TestGaugeWidgets::zeroPointerOnZeroTick_data() {
    QTest::addColumn<QString>("gauge");
    QTest::addColumn<qreal>("dpr");
    for (const char* name : {"MAP", "ADV", "GPI3A", "BAT V"}) {
        QTest::newRow(QByteArray(name) + " 1x") << QString::fromLatin1(name) << 1.0;
        QTest::newRow(QByteArray(name) + " 2x") << QString::fromLatin1(name) << 2.0;
    }
}

void TestGaugeWidgets::zeroPointerOnZeroTick() {
    QFETCH(QString, gauge);
    QFETCH(qreal, dpr);
    LinearGauge g;
    applyScale(g, scaleNamed(gauge));
    g.resize(g.sizeHint());
    g.setPointerValue(0.0);
    const QImage img = renderAt(&g, dpr);
    // The tick is the dark run just left of the bar; find the lowest one.
    const int x = int((g.scaleRect().left() - 1.5) * dpr);
    int lowestTick = -1;
    for (int y = 0; y < img.height(); ++y) {
        if (qGray(img.pixel(x, y)) < 80)
            lowestTick = y;
    }
    QVERIFY(lowestTick >= 0);
    const double tickRow = (lowestTick + 0.5) / dpr;
    QVERIFY2(qAbs(pointerRow(img, g, dpr) - tickRow) <= 1.0,
             qPrintable(
                 QStringLiteral("pointer %1, tick %2").arg(pointerRow(img, g, dpr)).arg(tickRow)));
    QVERIFY(g.scaleRect().bottom() - tickRow > 3.0);
}

void TestGaugeWidgets::bandColourUnderReading_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("BAT 10") << 10.0 << QColor(255, 0, 0);
    QTest::newRow("BAT 13.8") << 13.8 << QColor(0, 0, 0);
    QTest::newRow("BAT 17.5") << 17.5 << QColor(255, 0, 0);
    QTest::newRow("BAT -0.5") << -0.5 << QColor(255, 0, 0);
}

// The bar under a reading is painted in the colour of the band bandIndexAt names.
void TestGaugeWidgets::bandColourUnderReading() {
    QFETCH(double, value);
    QFETCH(QColor, colour);
    LinearGauge g;
    g.resize(g.sizeHint());
    renderAt(&g, 1.0);  // drawn once before the scale is set: what it kept must not stay
    applyScale(g, kBatteryScale);
    g.setPointerValue(kNaN);  // keep the pointer's mark off the sampled pixels
    const QImage img = renderAt(&g, 1.0);
    const QPointF at(g.scaleRect().center().x(), g.valueToY(value));
    QCOMPARE(QColor(img.pixel(at.toPoint())), colour);
    QCOMPARE(g.bands()[g.bandIndexAt(value)].color, colour);
}

void TestGaugeWidgets::needleFollowsReading_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("probeAt");  // where the needle should be seen
    QTest::addColumn<bool>("visible");
    QTest::newRow("0") << 0.0 << 0.0 << true;
    QTest::newRow("3.2") << 3.2 << 3.2 << true;
    QTest::newRow("7") << 7.0 << 7.0 << true;
    QTest::newRow("10") << 10.0 << 10.0 << true;
    QTest::newRow("beyond the maximum rests at 10") << 14.0 << 10.0 << true;
    QTest::newRow("NaN draws no needle") << kNaN << 5.0 << false;
}

void TestGaugeWidgets::needleFollowsReading() {
    QFETCH(double, value);
    QFETCH(double, probeAt);
    QFETCH(bool, visible);
    DialGauge d;
    d.resize(d.sizeHint());
    d.setValue(value);
    d.setCaption(QStringLiteral("0"));
    for (qreal dpr : {1.0, 2.0}) {
        const QImage img = renderAt(&d, dpr);
        const double a = qDegreesToRadians(d.angleFor(probeAt));
        const QPointF p = d.centre() + QPointF(std::cos(a), -std::sin(a)) * d.radius() * 0.5;
        QCOMPARE(isNeedleColour(img.pixel((p * dpr).toPoint())), visible);
        // ... and not half way round the dial.
        const QPointF q = d.centre() - QPointF(std::cos(a), -std::sin(a)) * d.radius() * 0.5;
        QVERIFY(!isNeedleColour(img.pixel((q * dpr).toPoint())));
    }
}

void TestGaugeWidgets::dialArcsFollowSettings_data() {
    QTest::addColumn<double>("warning");
    QTest::addColumn<double>("red");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<double>("probe");
    QTest::addColumn<QString>("expected");  // "amber", "red" or "none"
    QTest::newRow("7.25 amber") << 7.0 << 7.5 << 10 << 7.25 << "amber";
    QTest::newRow("8.9 red") << 7.0 << 7.5 << 10 << 8.9 << "red";
    QTest::newRow("6.5 plain") << 7.0 << 7.5 << 10 << 6.5 << "none";
    QTest::newRow("warning not below red: no amber") << 8.0 << 7.5 << 10 << 7.75 << "red";
    QTest::newRow("smaller scale: 5.5 red") << 4.0 << 5.0 << 6 << 5.5 << "red";
    QTest::newRow("smaller scale: 4.5 amber") << 4.0 << 5.0 << 6 << 4.5 << "amber";
}

void TestGaugeWidgets::dialArcsFollowSettings() {
    QFETCH(double, warning);
    QFETCH(double, red);
    QFETCH(int, maximum);
    QFETCH(double, probe);
    QFETCH(QString, expected);
    DialGauge d;
    d.resize(d.sizeHint());
    renderAt(&d, 1.0);  // drawn once with the defaults: what it kept must not stay
    d.setWarningStart(warning);
    d.setRedlineStart(red);
    d.setScaleMaximum(std::int16_t(maximum));
    d.setValue(kNaN);
    const QImage img = renderAt(&d, 1.0);
    const double a = qDegreesToRadians(d.angleFor(probe));
    const QPointF p = d.centre() + QPointF(std::cos(a), -std::sin(a)) * d.radius() * 0.875;
    const QColor c = img.pixel(p.toPoint());
    QString seen = "none";
    if (c.red() > 200 && c.green() > 150 && c.blue() < 80)
        seen = "amber";
    else if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
        seen = "red";
    QCOMPARE(seen, expected);
}

void TestGaugeWidgets::lampFill_data() {
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<qreal>("dpr");
    for (qreal dpr : {1.0, 2.0}) {
        const QByteArray x = dpr == 1.0 ? " 1x" : " 2x";
        QTest::newRow("starts green" + x) << QColor() << dpr;
        QTest::newRow("red" + x) << QColor(255, 0, 0) << dpr;
        QTest::newRow("black" + x) << QColor(0, 0, 0) << dpr;
    }
}

void TestGaugeWidgets::lampFill() {
    QFETCH(QColor, fill);
    QFETCH(qreal, dpr);
    QWidget panel;
    panel.resize(40, 40);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    panel.setPalette(pal);
    panel.setAutoFillBackground(true);
    auto* lamp = new LampShape(&panel);
    lamp->setGeometry(10, 10, 17, 17);
    if (fill.isValid())
        lamp->setFillColor(fill);
    const QColor expected = fill.isValid() ? fill : QColor(0, 255, 0);
    QCOMPARE(lamp->fillColor(), expected);
    const QImage img = renderAt(&panel, dpr);
    QCOMPARE(QColor(img.pixel((QPointF(18.5, 18.5) * dpr).toPoint())), expected);
    QCOMPARE(QColor(img.pixel((QPointF(15.5, 18.5) * dpr).toPoint())), expected);
    // A circle, not a square: the lamp's corners show the panel.
    QCOMPARE(QColor(img.pixel((QPointF(10.5, 10.5) * dpr).toPoint())), QColor(0, 0, 128));
}

void TestGaugeWidgets::accessibleText_data() {
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("role");

    const int bar = QAccessible::ProgressBar;
    QTest::newRow("gauge reading") << "bat"
                                   << "13.8"
                                   << "BAT V"
                                   << "13.8" << bar;
    QTest::newRow("gauge four digits") << "bat"
                                       << "12.34567"
                                       << "BAT V"
                                       << "12.35" << bar;
    QTest::newRow("gauge above its scale") << "bat"
                                           << "25"
                                           << "BAT V"
                                           << "25, above scale" << bar;
    QTest::newRow("gauge below its scale") << "bat"
                                           << "-3"
                                           << "BAT V"
                                           << "-3, below scale" << bar;
    QTest::newRow("gauge NaN") << "bat"
                               << "nan"
                               << "BAT V"
                               << "no reading" << bar;
    QTest::newRow("gauge without caption: object name") << "bare"
                                                        << "2.5"
                                                        << "gauGPI3A"
                                                        << "2.5" << bar;
    QTest::newRow("accessible name wins") << "named"
                                          << "1"
                                          << "Manifold pressure"
                                          << "1" << bar;
    QTest::newRow("gauge caption renamed") << "bat"
                                           << "caption:VOLTS"
                                           << "VOLTS"
                                           << "0" << bar;

    const int dial = QAccessible::Dial;
    QTest::newRow("dial read-out") << "tach"
                                   << "916"
                                   << "gauTach"
                                   << "916 rpm" << dial;
    QTest::newRow("dial before any read-out") << "tach"
                                              << ""
                                              << "gauTach"
                                              << "916 rpm" << dial;
    QTest::newRow("dial unnamed") << "tach-bare"
                                  << ""
                                  << "RPM"
                                  << "916 rpm" << dial;

    const int lamp = QAccessible::Indicator;
    QTest::newRow("lamp starts green") << "lamp"
                                       << ""
                                       << "shpLED_GPI1"
                                       << "green" << lamp;
    QTest::newRow("lamp red") << "lamp"
                              << "#ff0000"
                              << "shpLED_GPI1"
                              << "red" << lamp;
    QTest::newRow("lamp black") << "lamp"
                                << "#000000"
                                << "shpLED_GPI1"
                                << "black" << lamp;
    QTest::newRow("lamp other") << "lamp"
                                << "#123456"
                                << "shpLED_GPI1"
                                << "#123456" << lamp;
}

void TestGaugeWidgets::accessibleText() {
    QFETCH(QString, widget);
    QFETCH(QString, step);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(int, role);

    std::unique_ptr<QWidget> w;
    if (widget == "bat" || widget == "bare" || widget == "named") {
        auto* g = new LinearGauge;
        w.reset(g);
        if (widget == "bat")
            applyScale(*g, kBatteryScale);
        g->setObjectName(widget == "bat" ? "gauBatVolts" : "gauGPI3A");
        if (widget == "named")
            g->setAccessibleName("Manifold pressure");
        if (step.startsWith("caption:"))
            g->setCaption(step.mid(8));
        else
            g->setPointerValue(step == "nan" ? kNaN : step.toDouble());
    } else if (widget.startsWith("tach")) {
        auto* d = new DialGauge;
        w.reset(d);
        if (widget == "tach")
            d->setObjectName("gauTach");
        d->setValue(0.91552734);
        if (!step.isEmpty())
            d->setCaption(step);
    } else {
        auto* l = new LampShape;
        w.reset(l);
        l->setObjectName("shpLED_GPI1");
        if (!step.isEmpty())
            l->setFillColor(QColor(step));
    }
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w.get());
    QVERIFY(iface);
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(iface->text(QAccessible::Value), value);
}

void TestGaugeWidgets::accessibleEvents_data() {
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("write");
    QTest::addColumn<int>("event");  // expected event type, 0 for none
    QTest::addColumn<QVariant>("value");

    const int changed = QAccessible::ValueChanged;
    QTest::newRow("gauge new reading") << "gauge"
                                       << "12.5" << changed << QVariant(12.5);
    QTest::newRow("gauge same reading") << "gauge"
                                        << "13.8" << 0 << QVariant();
    QTest::newRow("gauge NaN") << "gauge"
                               << "nan" << changed << QVariant(kNaN);
    QTest::newRow("gauge caption") << "gauge"
                                   << "caption:BAT" << int(QAccessible::NameChanged) << QVariant();
    QTest::newRow("gauge same caption") << "gauge"
                                        << "caption:BAT V" << 0 << QVariant();
    QTest::newRow("dial reading") << "dial"
                                  << "3.2" << changed << QVariant(3.2);
    QTest::newRow("dial read-out") << "dial"
                                   << "caption:3200" << changed << QVariant(QStringLiteral("3200"));
    QTest::newRow("dial same read-out") << "dial"
                                        << "caption:916" << 0 << QVariant();
    QTest::newRow("dial needle width: no value change") << "dial"
                                                        << "needle:5" << 0 << QVariant();
    QTest::newRow("lamp red") << "lamp"
                              << "#ff0000" << changed << QVariant("red");
    QTest::newRow("lamp same colour") << "lamp"
                                      << "#00ff00" << 0 << QVariant();
}

void TestGaugeWidgets::accessibleEvents() {
    QFETCH(QString, widget);
    QFETCH(QString, write);
    QFETCH(int, event);
    QFETCH(QVariant, value);

    std::unique_ptr<QWidget> w;
    std::function<void()> act;
    if (widget == "gauge") {
        auto* g = new LinearGauge;
        w.reset(g);
        applyScale(*g, kBatteryScale);
        g->setPointerValue(13.8);
        if (write.startsWith("caption:"))
            act = [g, write] { g->setCaption(write.mid(8)); };
        else
            act = [g, write] { g->setPointerValue(write == "nan" ? kNaN : write.toDouble()); };
    } else if (widget == "dial") {
        auto* d = new DialGauge;
        w.reset(d);
        d->setCaption("916");
        if (write.startsWith("caption:"))
            act = [d, write] { d->setCaption(write.mid(8)); };
        else if (write.startsWith("needle:"))
            act = [d, write] { d->setNeedleWidth(std::int16_t(write.mid(7).toInt())); };
        else
            act = [d, write] { d->setValue(write.toDouble()); };
    } else {
        auto* l = new LampShape;
        w.reset(l);
        act = [l, write] { l->setFillColor(QColor(write)); };
    }
    events_.clear();
    act();
    if (event == 0) {
        QCOMPARE(events_.size(), 0);
        return;
    }
    QCOMPARE(events_.size(), 1);
    QCOMPARE(events_[0].object, w.get());
    QCOMPARE(int(events_[0].type), event);
    if (event == QAccessible::ValueChanged) {
        const QVariant got = events_[0].value;
        if (value.typeId() == QMetaType::Double && std::isnan(value.toDouble()))
            QVERIFY(std::isnan(got.toDouble()));
        else
            QCOMPARE(got, value);
    }
}

void TestGaugeWidgets::accessibleValueInterface() {
    LinearGauge g;
    applyScale(g, kBatteryScale);
    g.setPointerValue(14.2);
    QAccessibleValueInterface* v = QAccessible::queryAccessibleInterface(&g)->valueInterface();
    QVERIFY(v);
    QCOMPARE(v->currentValue().toDouble(), 14.2);
    QCOMPARE(v->minimumValue().toDouble(), -1.0);
    QCOMPARE(v->maximumValue().toDouble(), 19.0);
    v->setCurrentValue(3.0);  // a display: assistive technology cannot move it
    QCOMPARE(g.pointerValue(), 14.2);

    DialGauge d;
    d.setScaleMaximum(std::int16_t(10));
    d.setValue(3.5);
    QAccessibleValueInterface* dv = QAccessible::queryAccessibleInterface(&d)->valueInterface();
    QVERIFY(dv);
    QCOMPARE(dv->currentValue().toDouble(), 3.5);
    QCOMPARE(dv->maximumValue().toDouble(), 10.0);

    LampShape lamp;
    QVERIFY(!QAccessible::queryAccessibleInterface(&lamp)->valueInterface());
}

// Renders a sample panel at 1x and 2x. Set IGNIVEX_SCREENSHOT_DIR to keep the pictures.
void TestGaugeWidgets::panelScreenshots() {
    RealTimePanel normal;
    normal.gauMAP->setPointerValue(17.3);
    normal.gauAdv->setPointerValue(28.5);
    normal.gauGPI3A->setPointerValue(2.35);
    normal.gauBatVolts->setPointerValue(13.8);
    normal.gauTach->setValue(3.215);
    normal.gauTach->setCaption("3215");
    normal.shpLED_GPI1->setFillColor(Qt::black);
    normal.shpLED_GPI2->setFillColor(QColor(255, 0, 0));

    // Edges: wide MAP layout, readings off both ends, the red line, a NaN reading.
    RealTimePanel edges;
    layOutMapGauge(*edges.gauMAP, 2);
    edges.gauMAP->setPointerValue(0.0);
    edges.gauAdv->setPointerValue(-5.0);
    edges.gauGPI3A->setPointerValue(kNaN);
    edges.gauBatVolts->setPointerValue(16.01);
    edges.gauTach->setValue(8.9);
    edges.gauTach->setCaption("8900");
    for (LampShape* l : {edges.shpLED_GPI1, edges.shpLED_GPI2, edges.shpLED_GPI3})
        l->setFillColor(QColor(255, 0, 0));

    for (qreal dpr : {1.0, 2.0}) {
        const QImage top = renderAt(&normal, dpr);
        const QImage bottom = renderAt(&edges, dpr);
        QCOMPARE(top.size(), normal.size() * dpr);
        QImage sheet(top.width(), top.height() * 2, QImage::Format_RGB32);
        sheet.setDevicePixelRatio(dpr);  // both halves are placed in logical pixels
        QPainter p(&sheet);
        p.drawImage(0, 0, top);
        p.drawImage(0, normal.height(), bottom);
        p.end();
        // Drawn at full scale: the right-most gauge's face is where the panel puts it.
        const QPoint face = normal.gauBatVolts->geometry().topLeft() + QPoint(4, 124);
        QCOMPARE(QColor(top.pixel(face * dpr)),
                 normal.gauBatVolts->palette().color(QPalette::Button));
        const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            const QString file = QStringLiteral("%1/gauges-%2x.png").arg(dir).arg(int(dpr));
            QVERIFY2(sheet.save(file), qPrintable(file));
        }
    }
}

QTEST_MAIN(TestGaugeWidgets)
#include "tst_gauge_widgets.moc"
