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
constexpr double kOutline[][2] = {{0, 100},    {100, 0},    {900, 0},    {1000, 100},
                                  {1000, 900}, {900, 1000}, {100, 1000}, {0, 900}};

// Where things sit on the dial, as fractions of its radius.
constexpr double kArcRadius = 0.875;  // the amber and red arcs
constexpr double kArcWidth = 0.09;
constexpr double kMajorTickInner = 0.78;
constexpr double kMinorTickInner = 0.84;
constexpr double kTickOuter = 0.93;
constexpr double kLabelRadius = 0.62;
constexpr double kRpmTextAt = -0.36;  // above the hub
constexpr double kUnitTextAt = 0.27;  // below the hub
constexpr double kReadoutAt = 0.66;   // the read-out window, in the gap of the sweep
constexpr double kReadoutMaxWidth = 1.3;
constexpr double kNeedleTail = 0.15;
constexpr double kNeedleTip = 0.86;
constexpr int kMinorTicksPerLabel = 5;
constexpr double kReadoutPoints = 13.5;

}  // namespace

struct DialGauge::Layout {
    QPointF centre;
    double radius = 0.0;
    QFont labelFont;
    double labelHeight = 0.0;
    QFont readoutFont;
    QFontMetricsF readoutMetrics{QFont()};
    double readoutMinWidth = 0.0;  // room for "0000"
};

DialGauge::DialGauge(QWidget* parent) : KeptFaceGauge(parent) {
    gauge::installAccessibility();
    setFont(gauge::panelFont(12.0));
}

DialGauge::~DialGauge() = default;

void DialGauge::forgetLayout() {
    layout_.reset();
}

void DialGauge::setValue(double thousandsRpm) {
    if (gauge::sameValue(thousandsRpm, value_))
        return;
    value_ = thousandsRpm;
    update();
    gauge::notifyValueChanged(this, value_);
    emit valueChanged(value_);
}

void DialGauge::setCaption(const QString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    update();
    gauge::notifyValueChanged(this, caption_);
    emit captionChanged(caption_);
}

void DialGauge::setWarningStart(double thousandsRpm) {
    if (gauge::sameValue(thousandsRpm, warningStart_))
        return;
    warningStart_ = thousandsRpm;
    appearanceChange();
}

void DialGauge::setRedlineStart(double thousandsRpm) {
    if (gauge::sameValue(thousandsRpm, redlineStart_))
        return;
    redlineStart_ = thousandsRpm;
    appearanceChange();
}

void DialGauge::setScaleMaximum(std::int16_t thousandsRpm) {
    const int max = std::max<int>(kMinScaleMaximum, thousandsRpm);
    if (max == scaleMax_)
        return;
    scaleMax_ = max;
    appearanceChange();
}

void DialGauge::setNeedleWidth(std::int16_t pixels) {
    const int width = std::clamp<int>(pixels, 1, kMaxNeedleWidth);
    if (width == needleWidth_)
        return;
    needleWidth_ = width;
    update();
    emit appearanceChanged();
}

double DialGauge::angleFor(double thousandsRpm) const {
    if (std::isnan(thousandsRpm))
        return std::numeric_limits<double>::quiet_NaN();
    const double v = std::clamp(thousandsRpm, 0.0, double(scaleMax_));
    return kStartAngle - kSweep * v / scaleMax_;
}

int DialGauge::labelStep() const {
    // 1, 2, 5, 10, 20, 50, ...: the first that keeps the labels to 12 or fewer intervals.
    int step = 1;
    for (int decade = 1;; decade *= 10) {
        for (int f : {1, 2, 5}) {
            step = f * decade;
            if (scaleMax_ / step <= 12)
                return step;
        }
    }
}

QPolygonF DialGauge::outline() const {
    QPolygonF poly;
    const double sx = width() / 1000.0;
    const double sy = height() / 1000.0;
    for (const auto& pt : kOutline)
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
    if (!caption_.isEmpty())
        return caption_ + QStringLiteral(" rpm");
    if (std::isnan(value_))
        return QStringLiteral("no reading");
    return QString::number(value_ * 1000.0, 'f', 0) + QStringLiteral(" rpm");
}

void DialGauge::setSurroundColor(const QColor& color) {
    if (color == surround_)
        return;
    surround_ = color;
    setAttribute(Qt::WA_OpaquePaintEvent, surround_.isValid() && surround_.alpha() == 255);
    appearanceChange();
}

QSize DialGauge::sizeHint() const {
    return {265, 249};  // 3975 x 3735 twips on the panel
}

QSize DialGauge::minimumSizeHint() const {
    return {120, 120};
}

const DialGauge::Layout& DialGauge::layout() const {
    if (!layout_) {
        auto l = std::make_unique<Layout>();
        l->centre = centre();
        l->radius = radius();
        l->labelFont = font();
        l->labelHeight = QFontMetricsF(l->labelFont).height();
        l->readoutFont = font();
        l->readoutFont.setPointSizeF(kReadoutPoints);
        l->readoutMetrics = QFontMetricsF(l->readoutFont);
        l->readoutMinWidth = l->readoutMetrics.horizontalAdvance(QStringLiteral("0000"));
        layout_ = std::move(l);
    }
    return *layout_;
}

QPointF DialGauge::pointAt(double angleDeg, double fraction) const {
    const Layout& l = layout();
    const double a = qDegreesToRadians(angleDeg);
    const double rr = l.radius * fraction;
    return QPointF(l.centre.x() + rr * std::cos(a), l.centre.y() - rr * std::sin(a));
}

void DialGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawKeptFace(p);
    if (layout().radius < 10.0)
        return;
    paintReadout(p);
    paintNeedle(p);
}

void DialGauge::paintKept(QPainter& p) const {
    paintFace(p);
    paintScale(p);
}

// The outline in the button colour, like the linear gauges beside it, and the round face.
void DialGauge::paintFace(QPainter& p) const {
    const QPalette& pal = palette();
    if (surround_.isValid())
        p.fillRect(rect(), surround_);
    p.setPen(QPen(pal.color(QPalette::Dark), 1.0));
    p.setBrush(pal.color(QPalette::Button));
    // Inset by half the pen so the one-pixel edge lies inside the widget.
    QTransform inset;
    inset.translate(0.5, 0.5);
    inset.scale((width() - 1.0) / std::max(1, width()), (height() - 1.0) / std::max(1, height()));
    p.drawPolygon(inset.map(outline()));

    const Layout& l = layout();
    if (l.radius < 10.0)
        return;
    p.setPen(QPen(pal.color(QPalette::Mid), 2.0));
    p.setBrush(kFace);
    p.drawEllipse(l.centre, l.radius, l.radius);
}

// The amber and red arcs, the ticks, the labels and the fixed texts.
void DialGauge::paintScale(QPainter& p) const {
    const Layout& l = layout();
    if (l.radius < 10.0)
        return;
    const QPointF c = l.centre;
    const double r = l.radius;
    auto arc = [&](double from, double to, const QColor& color) {
        const double a0 = angleFor(from);
        const double a1 = angleFor(to);
        if (!(a0 > a1))
            return;  // empty, reversed or NaN
        const double rr = r * kArcRadius;
        p.setPen(QPen(color, r * kArcWidth, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - rr, c.y() - rr, 2 * rr, 2 * rr), qRound(a0 * 16),
                  qRound((a1 - a0) * 16));
    };
    const double redFrom = std::clamp(redlineStart_, 0.0, double(scaleMax_));
    arc(std::min(warningStart_, redFrom), redFrom, kAmber);
    arc(redlineStart_, scaleMax_, kRed);

    // Ticks: five per label step, the labelled ones long.
    const int step = labelStep();
    const int minorCount = scaleMax_ * kMinorTicksPerLabel / step;
    for (int i = 0; i <= minorCount; ++i) {
        const double v = double(step) * i / kMinorTicksPerLabel;
        const bool major = i % kMinorTicksPerLabel == 0;
        const double a = angleFor(v);
        p.setPen(QPen(kScaleInk, major ? 2.5 : 1.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(pointAt(a, major ? kMajorTickInner : kMinorTickInner), pointAt(a, kTickOuter));
    }

    const QFontMetricsF fm(l.labelFont);
    p.setFont(l.labelFont);
    p.setPen(kScaleInk);
    for (int v = 0; v <= scaleMax_; v += step) {
        const QPointF pos = pointAt(angleFor(v), kLabelRadius);
        const QString text = QString::number(v);
        const double w = fm.horizontalAdvance(text);
        const QRectF box(pos.x() - w, pos.y() - l.labelHeight / 2, 2 * w, l.labelHeight);
        p.drawText(box, Qt::AlignCenter, text);
    }
    auto line = [&](double at, const QString& text) {
        p.drawText(QRectF(c.x() - r, c.y() + r * at - l.labelHeight / 2, 2 * r, l.labelHeight),
                   Qt::AlignCenter, text);
    };
    line(kRpmTextAt, QStringLiteral("RPM"));
    line(kUnitTextAt, QStringLiteral("x 1000"));
}

// The read-out window in the gap at the bottom of the sweep.
void DialGauge::paintReadout(QPainter& p) const {
    const Layout& l = layout();
    const double textW = std::max(l.readoutMinWidth, l.readoutMetrics.horizontalAdvance(caption_));
    const double boxW = std::min(textW + 10.0, l.radius * kReadoutMaxWidth);
    const double h = l.readoutMetrics.height();
    const QRectF readout(l.centre.x() - boxW / 2, l.centre.y() + l.radius * kReadoutAt - h / 2 - 2,
                         boxW, h + 4);
    p.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    p.setBrush(Qt::black);
    p.drawRect(readout);
    p.setFont(l.readoutFont);
    p.setPen(Qt::white);
    p.save();
    p.setClipRect(readout);
    p.drawText(readout, Qt::AlignCenter, caption_);
    p.restore();
}

// The needle with a short tail, then the hub over its root.
void DialGauge::paintNeedle(QPainter& p) const {
    const Layout& l = layout();
    if (!std::isnan(value_)) {
        const double a = angleFor(value_);
        p.setPen(QPen(kNeedle, needleWidth_, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(pointAt(a + 180.0, kNeedleTail), pointAt(a, kNeedleTip));
    }
    const double hub = std::max(5.0, needleWidth_ * 1.5 + 3.0);
    p.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    p.setBrush(QColor(70, 70, 70));
    p.drawEllipse(l.centre, hub, hub);
}

}  // namespace ignivex
