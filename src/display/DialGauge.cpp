#include "display/DialGauge.h"

#include "display/GaugeSupport.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex {

namespace {

constexpr double kBezel = 6.0;  // between the outline's flat sides and the round face
const QColor kFace(28, 28, 28);
const QColor kScaleInk(235, 235, 235);
const QColor kAmber(255, 191, 0);
const QColor kRed(230, 0, 0);
const QColor kNeedle(255, 110, 30);

// Face outline on a 1000 x 1000 grid: a square with its corners cut at 10 %.
constexpr double kOutline[][2] = {{0, 100},    {100, 0},    {900, 0},   {1000, 100},
                                  {1000, 900}, {900, 1000}, {100, 1000}, {0, 900}};

}  // namespace

DialGauge::DialGauge(QWidget *parent) : QWidget(parent) {
    gauge::installAccessibility();
    setFont(gauge::panelFont(12.0));
}

void DialGauge::setValue(double thousandsRpm) {
    if (gauge::sameValue(thousandsRpm, m_value))
        return;
    m_value = thousandsRpm;
    update();
    gauge::notifyValueChanged(this, m_value);
}

void DialGauge::setCaption(const QString &caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
    gauge::notifyValueChanged(this, m_caption);
}

void DialGauge::setWarningStart(double thousandsRpm) {
    if (gauge::sameValue(thousandsRpm, m_warningStart))
        return;
    m_warningStart = thousandsRpm;
    update();
}

void DialGauge::setRedlineStart(double thousandsRpm) {
    if (gauge::sameValue(thousandsRpm, m_redlineStart))
        return;
    m_redlineStart = thousandsRpm;
    update();
}

void DialGauge::setScaleMaximum(std::int16_t thousandsRpm) {
    const int max = std::max<int>(kMinScaleMaximum, thousandsRpm);
    if (max == m_scaleMax)
        return;
    m_scaleMax = max;
    update();
}

void DialGauge::setNeedleWidth(std::int16_t pixels) {
    const int width = std::clamp<int>(pixels, 1, kMaxNeedleWidth);
    if (width == m_needleWidth)
        return;
    m_needleWidth = width;
    update();
}

double DialGauge::angleFor(double thousandsRpm) const {
    if (std::isnan(thousandsRpm))
        return std::numeric_limits<double>::quiet_NaN();
    const double v = std::clamp(thousandsRpm, 0.0, double(m_scaleMax));
    return kStartAngle - kSweep * v / m_scaleMax;
}

int DialGauge::labelStep() const {
    // 1, 2, 5, 10, 20, 50, ...: the first that keeps the labels to 12 or fewer intervals.
    int step = 1;
    for (int decade = 1;; decade *= 10) {
        for (int f : {1, 2, 5}) {
            step = f * decade;
            if (m_scaleMax / step <= 12)
                return step;
        }
    }
}

QPolygonF DialGauge::outline() const {
    QPolygonF poly;
    const double sx = width() / 1000.0;
    const double sy = height() / 1000.0;
    for (const auto &pt : kOutline)
        poly << QPointF(pt[0] * sx, pt[1] * sy);
    return poly;
}

QPointF DialGauge::centre() const {
    return QRectF(rect()).center();
}

double DialGauge::radius() const {
    return std::max(0.0, std::min(width(), height()) / 2.0 - kBezel);
}

QString DialGauge::valueText() const {
    if (!m_caption.isEmpty())
        return m_caption + QStringLiteral(" rpm");
    if (std::isnan(m_value))
        return QStringLiteral("no reading");
    return QString::number(m_value * 1000.0, 'f', 0) + QStringLiteral(" rpm");
}

QSize DialGauge::sizeHint() const {
    return {265, 249};  // 3975 x 3735 twips on the panel
}

QSize DialGauge::minimumSizeHint() const {
    return {120, 120};
}

void DialGauge::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPalette &pal = palette();

    // Outline in the button colour, like the linear gauges beside it.
    p.setPen(QPen(pal.color(QPalette::Dark), 1.0));
    p.setBrush(pal.color(QPalette::Button));
    // Inset by half the pen so the one-pixel edge lies inside the widget.
    QTransform inset;
    inset.translate(0.5, 0.5);
    inset.scale((width() - 1.0) / std::max(1, width()), (height() - 1.0) / std::max(1, height()));
    p.drawPolygon(inset.map(outline()));

    const QPointF c = centre();
    const double r = radius();
    if (r < 10.0)
        return;

    p.setPen(QPen(pal.color(QPalette::Mid), 2.0));
    p.setBrush(kFace);
    p.drawEllipse(c, r, r);

    auto at = [&](double angleDeg, double rr) {
        const double a = qDegreesToRadians(angleDeg);
        return QPointF(c.x() + rr * std::cos(a), c.y() - rr * std::sin(a));
    };
    auto arc = [&](double from, double to, const QColor &color) {
        const double a0 = angleFor(from);
        const double a1 = angleFor(to);
        if (!(a0 > a1))
            return;  // empty, reversed or NaN
        const double rr = r * 0.875;
        p.setPen(QPen(color, r * 0.09, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - rr, c.y() - rr, 2 * rr, 2 * rr), qRound(a0 * 16),
                  qRound((a1 - a0) * 16));
    };
    const double redFrom = std::clamp(m_redlineStart, 0.0, double(m_scaleMax));
    arc(std::min(m_warningStart, redFrom), redFrom, kAmber);
    arc(m_redlineStart, m_scaleMax, kRed);

    // Ticks: five per label step, the labelled ones long.
    const int step = labelStep();
    const int minorCount = m_scaleMax * 5 / step;
    for (int i = 0; i <= minorCount; ++i) {
        const double v = double(step) * i / 5.0;
        const bool major = i % 5 == 0;
        const double a = angleFor(v);
        p.setPen(QPen(kScaleInk, major ? 2.5 : 1.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(at(a, r * (major ? 0.78 : 0.84)), at(a, r * 0.93));
    }

    const QFont labelFont = font();
    const QFontMetricsF fm(labelFont);
    p.setFont(labelFont);
    p.setPen(kScaleInk);
    for (int v = 0; v <= m_scaleMax; v += step) {
        const QPointF pos = at(angleFor(v), r * 0.62);
        const QString text = QString::number(v);
        const QRectF box(pos.x() - fm.horizontalAdvance(text), pos.y() - fm.height() / 2,
                         2 * fm.horizontalAdvance(text), fm.height());
        p.drawText(box, Qt::AlignCenter, text);
    }
    p.drawText(QRectF(c.x() - r, c.y() - r * 0.36 - fm.height() / 2, 2 * r, fm.height()),
               Qt::AlignCenter, QStringLiteral("RPM"));
    p.drawText(QRectF(c.x() - r, c.y() + r * 0.27 - fm.height() / 2, 2 * r, fm.height()),
               Qt::AlignCenter, QStringLiteral("x 1000"));

    // Read-out window in the gap at the bottom of the sweep.
    QFont readoutFont = labelFont;
    readoutFont.setPointSizeF(13.5);
    const QFontMetricsF rfm(readoutFont);
    const double textW = std::max(rfm.horizontalAdvance(QStringLiteral("0000")),
                                  rfm.horizontalAdvance(m_caption));
    const double boxW = std::min(textW + 10.0, r * 1.3);
    const QRectF readout(c.x() - boxW / 2, c.y() + r * 0.66 - rfm.height() / 2 - 2, boxW,
                         rfm.height() + 4);
    p.setPen(QPen(pal.color(QPalette::Mid), 1.0));
    p.setBrush(Qt::black);
    p.drawRect(readout);
    p.setFont(readoutFont);
    p.setPen(Qt::white);
    p.save();
    p.setClipRect(readout);
    p.drawText(readout, Qt::AlignCenter, m_caption);
    p.restore();

    // Needle with a short tail, then the hub over its root.
    if (!std::isnan(m_value)) {
        const double a = angleFor(m_value);
        p.setPen(QPen(kNeedle, m_needleWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(at(a + 180.0, r * 0.15), at(a, r * 0.86));
    }
    const double hub = std::max(5.0, m_needleWidth * 1.5 + 3.0);
    p.setPen(QPen(pal.color(QPalette::Mid), 1.0));
    p.setBrush(QColor(70, 70, 70));
    p.drawEllipse(c, hub, hub);
}

}  // namespace ignivex
