#include "display/RealTimePanel.h"

#include "display/PanelScales.h"
#include "acquire/Channels.h"
#include "base/Twips.h"

#include <QApplication>
#include <QPainter>
#include <cmath>

namespace ignivex {

namespace {

void paintOnBlack(QWidget* widget, const QColor& text) {
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, text);
    widget->setPalette(p);
}

// Gauges and the button keep the standard colours instead of inheriting the panel's black:
// every role is set explicitly, since roles left unset are taken from the parent.
void standardColours(QWidget* widget) {
    QPalette p = QApplication::palette(widget);
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = static_cast<QPalette::ColorGroup>(g);
            const auto role = static_cast<QPalette::ColorRole>(r);
            p.setBrush(group, role, p.brush(group, role));
        }
    }
    widget->setPalette(p);
}

const QColor kLampOn(0, 0, 0);     // input bit set
const QColor kLampOff(255, 0, 0);  // input bit clear, or no link

QColor lampColour(std::int16_t bits, const ValueSpec& input) {
    return inputOn(bits, input) ? kLampOn : kLampOff;
}

LinearGauge* linearGauge(QWidget* parent, const LinearScale& scale) {
    auto* gauge = new LinearGauge(parent);
    gauge->setObjectName(QString::fromLatin1(scale.objectName));
    gauge->setGeometry(
        twipsRect(scale.leftTwips, kGaugeTopTwips, kGaugeWidthTwips, kGaugeHeightTwips));
    standardColours(gauge);
    gauge->setCaption(QString::fromLatin1(scale.caption));
    gauge->setScaleRange(scale.scaleMin, scale.scaleMax);
    gauge->setLabelRange(0, scale.labelEnd);
    gauge->setDivisionStep(scale.step);
    gauge->setBands(bandsOf(scale));
    return gauge;
}

QLabel* label(QWidget* parent, const char* name, const char* text, const QRect& where) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(where);
    paintOnBlack(l, Qt::white);
    return l;
}

LampShape* lamp(QWidget* parent, const char* name, const QRect& where) {
    auto* shape = new LampShape(parent);
    shape->setObjectName(QString::fromLatin1(name));
    shape->setSurroundColor(Qt::black);
    shape->setGeometry(where);
    return shape;
}

}  // namespace

RealTimePanel::RealTimePanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("fraRealTimeData"));
    setTitle(QStringLiteral("KLAV Real Time Data"));
    paintOnBlack(this, Qt::white);
    setGeometry(twipsRect(0, 0, 9015, 6255));

    gauMAP = linearGauge(this, kMapScale);
    gauTach = new DialGauge(this);
    gauTach->setObjectName(QStringLiteral("gauTach"));
    gauTach->setGeometry(twipsRect(1320, kGaugeTopTwips, 3975, kGaugeHeightTwips));
    standardColours(gauTach);
    gauTach->setSurroundColor(Qt::black);
    gauAdv = linearGauge(this, kAdvanceScale);
    gauGPI3A = linearGauge(this, kGpi3Scale);
    gauBatVolts = linearGauge(this, kBatteryScale);

    lblInputs = label(this, "lblInputs", "INPUTS", twipsRect(360, 4200, 1695, 255));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(360, 4440, 2772, 1452));
    paintOnBlack(Frame1, Qt::black);

    lblGPI1 = label(Frame1, "lblGPI1", "GPI1", twipsRect(240, 240, 1692, 252));
    shpLED_GPI1 = lamp(Frame1, "shpLED_GPI1", twipsRect(2280, 240, 252, 252));
    lblGPI2 = label(Frame1, "lblGPI2", "GPI2", twipsRect(240, 600, 1692, 252));
    shpLED_GPI2 = lamp(Frame1, "shpLED_GPI2", twipsRect(2280, 600, 255, 255));
    lblGPI3 = label(Frame1, "lblGPI3", "GPI3", twipsRect(240, 960, 1812, 252));
    shpLED_GPI3 = lamp(Frame1, "shpLED_GPI3", twipsRect(2280, 960, 255, 255));

    cmdCloseRealTimeData = new QPushButton(QStringLiteral("Close"), this);
    cmdCloseRealTimeData->setObjectName(QStringLiteral("cmdCloseRealTimeData"));
    cmdCloseRealTimeData->setGeometry(twipsRect(4560, 4800, 1455, 495));
    standardColours(cmdCloseRealTimeData);

    recordingIndicator = new RecordingIndicator(this);
    recordingIndicator->setGeometry(twipsRect(6240, 4440, 2700, 720));
    recordingIndicator->hide();
}

void RealTimePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    QRect shown = rect();
    if (parentWidget())
        shown &= parentWidget()->rect().translated(-pos());
    const QFontMetrics fm(font());
    const int captionMiddle = fm.height() / 2;
    const QRect frame = shown.adjusted(1, captionMiddle, -2, -2);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(frame);
    // The caption interrupts the top edge, on the panel's own black.
    const QString caption = title();
    const int captionWidth = fm.horizontalAdvance(caption);
    const QRect captionBox(frame.left() + kCaptionInset, 0, captionWidth + 8, fm.height());
    p.fillRect(captionBox, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(captionBox, Qt::AlignCenter, caption);
}

QString RealTimePanel::formatRpm(float rpm) {
    if (!std::isfinite(rpm))
        return QStringLiteral("0");
    return QString::number(static_cast<qlonglong>(std::round(double(rpm))));
}

void RealTimePanel::showReading(Channel channel, float value, const Sample& sample) {
    switch (channel) {
    case Channel::Inputs: {
        const std::int16_t bits = sample.gpiBits.value_or(0);
        shpLED_GPI1->setFillColor(lampColour(bits, valueSpec(Value::Gpi1)));
        shpLED_GPI2->setFillColor(lampColour(bits, valueSpec(Value::Gpi2)));
        shpLED_GPI3->setFillColor(lampColour(bits, valueSpec(Value::Gpi3)));
        return;
    }
    case Channel::Map:
        gauMAP->setPointerValue(value);
        return;
    case Channel::Battery:
        gauBatVolts->setPointerValue(value);
        gauGPI3A->setPointerValue(sample.gpi3Analog.value_or(0.0f));
        return;
    case Channel::Rpm:
        gauTach->setValue(value / 1000.0f);
        gauTach->setNeedleWidth(kTachNeedleWidth);
        gauTach->setCaption(formatRpm(value));
        return;
    case Channel::Advance:
        gauAdv->setPointerValue(value);
        return;
    }
}

void RealTimePanel::showLinkLost() {
    gauMAP->setPointerValue(0);
    gauBatVolts->setPointerValue(0);
    gauGPI3A->setPointerValue(0);
    gauTach->setValue(0);
    gauTach->setNeedleWidth(kTachNeedleWidth);
    gauTach->setCaption(formatRpm(0));
    shpLED_GPI1->setFillColor(kLampOff);
    shpLED_GPI2->setFillColor(kLampOff);
    shpLED_GPI3->setFillColor(kLampOff);
}

}  // namespace ignivex
