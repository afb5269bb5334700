#include "display/RealTimePanel.h"

#include "recovery/Twips.h"

#include <QApplication>

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

LinearGauge* linearGauge(QWidget* parent, const char* name, const char* caption, int left,
                         double scaleMin, double scaleMax, double step, double labelEnd,
                         const QList<GaugeBand>& bands) {
    auto* gauge = new LinearGauge(parent);
    gauge->setObjectName(QString::fromLatin1(name));
    gauge->setGeometry(twipsRect(left, 240, 855, 3735));
    standardColours(gauge);
    gauge->setCaption(QString::fromLatin1(caption));
    gauge->setScaleRange(scaleMin, scaleMax);
    gauge->setLabelRange(0, labelEnd);
    gauge->setDivisionStep(step);
    gauge->setBands(bands);
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
    shape->setGeometry(where);
    return shape;
}

}  // namespace

RealTimePanel::RealTimePanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("fraRealTimeData"));
    setTitle(QStringLiteral("KLAV Real Time Data"));
    paintOnBlack(this, Qt::white);
    setGeometry(twipsRect(0, 0, 9015, 6255));

    const QColor red(255, 0, 0);
    gauMAP = linearGauge(this, "gauMAP", "MAP", 360, -1, 31, 5, 30, {{-1, 31, Qt::black}});
    gauTach = new DialGauge(this);
    gauTach->setObjectName(QStringLiteral("gauTach"));
    gauTach->setGeometry(twipsRect(1320, 240, 3975, 3735));
    standardColours(gauTach);
    gauAdv = linearGauge(this, "gauAdv", "ADV", 5400, -2, 47, 5, 45, {{-2, 47, Qt::black}});
    gauGPI3A = linearGauge(this, "gauGPI3A", "GPI3A", 6840, -0.2, 5.2, 0.5, 5,
                           {{-0.2, 5.2, Qt::black}});
    gauBatVolts = linearGauge(this, "gauBatVolts", "BAT V", 7800, -1, 19, 2, 18,
                              {{-1, 11, red}, {11, 16, Qt::black}, {16, 19, red}});

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
}

}  // namespace ignivex
