#include "display/LinearGauge.h"

#include "display/GaugeSupport.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex {

namespace {

constexpr double kMargin = 3.0;  // bevel plus one pixel of air
constexpr double kMinFontPoints = 5.0;
const QColor kPointerFill(255, 215, 0);

// The band palette of the colour-index setting. Index 0 is the default band colour.
const QList<QColor>& bandColors() {
    static const QList<QColor> colors = {
        QColor(0, 0, 0),   QColor(255, 0, 0), QColor(255, 191, 0),
        QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 255),
    };
    return colors;
}

// Places a one-logical-pixel line on whole device pixels, so ticks stay sharp at any ratio.
double snapLine(double y, double dpr) {
    return std::round((y - 0.5) * dpr) / dpr + 0.5;
}

double snapEdge(double y, double dpr) {
    return std::round(y * dpr) / dpr;
}

// Shrinks a font until `text` fits `width`, never below kMinFontPoints; the 57-pixel panel
// gauges must not clip "GPI3A" whatever font the platform substitutes.
QFont fitted(QFont font, const QStringList& texts, double width) {
    double widest = 0.0;
    const QFontMetricsF fm(font);
    for (const QString& t : texts)
        widest = std::max(widest, fm.horizontalAdvance(t));
    if (widest > width && widest > 0.0 && width > 0.0 && font.pointSizeF() > 0.0) {
        const double points = std::max(kMinFontPoints, font.pointSizeF() * width / widest);
        font.setPointSizeF(std::floor(points * 4.0) / 4.0);
    }
    return font;
}

// The parts of the gauge across its inner width, left to right: labels, ticks, the band bar and
// the pointer. Each takes its share of the width, held between a floor and a ceiling in pixels.
struct Share {
    double share;
    double least;
    double most;
    double of(double inner) const { return std::clamp(inner * share, least, most); }
};
constexpr Share kPointerWidth{0.22, 6.0, 14.0};
constexpr Share kBarWidth{0.18, 4.0, 12.0};
constexpr Share kTickLength{0.10, 3.0, 8.0};
constexpr double kLabelGap = 2.0;    // between the labels and their ticks
constexpr double kCaptionGap = 3.0;  // between the caption and the top of the scale
constexpr double kBottomGap = 2.0;   // below the bottom of the scale

}  // namespace

struct LinearGauge::Layout {
    QRectF captionRect;
    QFont captionFont;
    QFont labelFont;
    double labelHeight = 0.0;
    double labelRight = 0.0;
    double tickLeft = 0.0;
    QRectF bar;  // x: the band bar; y: the scale, top = maximum
    double pointerRight = 0.0;
    QList<double> ticks;
    QStringList labels;
};

LinearGauge::LinearGauge(QWidget* parent) : KeptFaceGauge(parent) {
    gauge::installAccessibility();
    setFont(gauge::panelFont(8.25));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

LinearGauge::~LinearGauge() = default;

void LinearGauge::forgetLayout() {
    layout_.reset();
}

void LinearGauge::setCaption(const QString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    appearanceChange();
    gauge::notifyNameChanged(this);
}

void LinearGauge::setPointerValue(double value) {
    if (gauge::sameValue(value, value_))
        return;
    value_ = value;
    update();
    gauge::notifyValueChanged(this, value_);
    emit pointerValueChanged(value_);
}

void LinearGauge::setScaleMinimum(double minimum) {
    if (gauge::sameValue(minimum, scaleMin_))
        return;
    scaleMin_ = minimum;
    appearanceChange();
    gauge::notifyValueChanged(this, value_);  // the spoken value may gain or lose "below scale"
}

void LinearGauge::setScaleMaximum(double maximum) {
    if (gauge::sameValue(maximum, scaleMax_))
        return;
    scaleMax_ = maximum;
    appearanceChange();
    gauge::notifyValueChanged(this, value_);
}

void LinearGauge::setScaleRange(double minimum, double maximum) {
    setScaleMinimum(minimum);
    setScaleMaximum(maximum);
}

void LinearGauge::setLabelStart(double start) {
    if (gauge::sameValue(start, labelStart_))
        return;
    labelStart_ = start;
    appearanceChange();
}

void LinearGauge::setLabelEnd(double end) {
    if (gauge::sameValue(end, labelEnd_))
        return;
    labelEnd_ = end;
    appearanceChange();
}

void LinearGauge::setLabelRange(double start, double end) {
    setLabelStart(start);
    setLabelEnd(end);
}

void LinearGauge::setDivisionStep(double step) {
    if (gauge::sameValue(step, step_))
        return;
    step_ = step;
    appearanceChange();
}

void LinearGauge::setMinorTicks(int count) {
    count = std::clamp(count, 0, kMaxMinorTicks);
    if (count == minorTicks_)
        return;
    minorTicks_ = count;
    appearanceChange();
}

void LinearGauge::setBands(const QList<GaugeBand>& bands) {
    const QList<GaugeBand> kept = bands.mid(0, kMaxBands);
    if (kept == bands_)
        return;
    bands_ = kept;
    appearanceChange();
}

void LinearGauge::selectBand(int index) {
    selectedBand_ = std::clamp(index, 0, kMaxBands - 1);
}

GaugeBand* LinearGauge::writableSelectedBand() {
    while (bands_.size() <= selectedBand_)
        bands_.append(GaugeBand{});
    return &bands_[selectedBand_];
}

int LinearGauge::bandColorIndex() const {
    if (selectedBand_ >= bands_.size())
        return -1;
    const QRgb rgb = bands_[selectedBand_].color.rgb();
    for (int i = 0; i < bandColors().size(); ++i) {
        if (bandColors()[i].rgb() == rgb)
            return i;
    }
    return -1;
}

void LinearGauge::setBandColorIndex(int index) {
    if (index < 0 || index >= bandColors().size())
        return;
    const bool existed = selectedBand_ < bands_.size();
    GaugeBand* band = writableSelectedBand();
    if (existed && band->color == bandColors()[index])
        return;
    band->color = bandColors()[index];
    appearanceChange();
}

void LinearGauge::setBandLower(double value) {
    const bool existed = selectedBand_ < bands_.size();
    GaugeBand* band = writableSelectedBand();
    if (existed && gauge::sameValue(band->from, value))
        return;
    band->from = value;
    appearanceChange();
}

void LinearGauge::setBandUpper(double value) {
    const bool existed = selectedBand_ < bands_.size();
    GaugeBand* band = writableSelectedBand();
    if (existed && gauge::sameValue(band->to, value))
        return;
    band->to = value;
    appearanceChange();
}

bool LinearGauge::scaleIsValid() const {
    return std::isfinite(scaleMin_) && std::isfinite(scaleMax_) && scaleMax_ > scaleMin_;
}

int LinearGauge::bandIndexAt(double value) const {
    if (std::isnan(value) || !scaleIsValid())
        return -1;
    const double v = std::clamp(value, scaleMin_, scaleMax_);
    int found = -1;
    for (int i = 0; i < bands_.size(); ++i) {
        const double lo = std::min(bands_[i].from, bands_[i].to);
        const double hi = std::max(bands_[i].from, bands_[i].to);
        if (!(hi > lo))
            continue;
        const bool fromBottom = lo <= scaleMin_;
        const bool toTop = hi >= scaleMax_;
        bool inside = v >= lo && v <= hi;
        if (fromBottom && !toTop)
            inside = v >= lo && v < hi;  // low end zone: its upper edge is the neighbour's
        else if (toTop && !fromBottom)
            inside = v > lo && v <= hi;  // high end zone: its lower edge is the neighbour's
        if (inside)
            found = i;  // later bands are drawn on top
    }
    return found;
}

QList<double> LinearGauge::tickValues() const {
    return gauge::tickValues(labelStart_, labelEnd_, step_);
}

QStringList LinearGauge::tickLabels() const {
    QStringList labels;
    for (double v : tickValues())
        labels.append(gauge::tickLabel(v));
    return labels;
}

const LinearGauge::Layout& LinearGauge::layout() const {
    if (!layout_)
        layout_ = std::make_unique<Layout>(computeLayout());
    return *layout_;
}

LinearGauge::Layout LinearGauge::computeLayout() const {
    Layout l;
    const double w = width();
    const double h = height();
    const double inner = std::max(0.0, w - 2.0 * kMargin);

    l.captionFont = fitted(font(), {caption_}, inner);
    const double captionHeight = caption_.isEmpty() ? 0.0 : QFontMetricsF(l.captionFont).height();
    l.captionRect = QRectF(kMargin, kMargin + 1.0, inner, captionHeight);

    const double pointerW = kPointerWidth.of(inner);
    const double barW = kBarWidth.of(inner);
    const double tickLen = kTickLength.of(inner);
    const double labelColumn = std::max(0.0, inner - pointerW - barW - tickLen - kLabelGap);

    if (scaleIsValid()) {
        l.ticks = tickValues();
        for (double v : l.ticks)
            l.labels.append(gauge::tickLabel(v));
    }
    l.labelFont = fitted(font(), l.labels, labelColumn);
    const QFontMetricsF fm(l.labelFont);
    l.labelHeight = fm.height();
    double labelW = 0.0;
    for (const QString& t : l.labels)
        labelW = std::max(labelW, fm.horizontalAdvance(t));

    // The block of labels, ticks, bar and pointer sits centred, so short labels ("30") do not
    // leave the bar off to one side.
    const double total = labelW + kLabelGap + tickLen + barW + pointerW;
    const double x0 = kMargin + std::max(0.0, (inner - total) / 2.0);
    l.labelRight = x0 + labelW;
    l.tickLeft = l.labelRight + kLabelGap;
    const double barLeft = l.tickLeft + tickLen;
    l.pointerRight = barLeft + barW + pointerW;

    // Labels are centred on their ticks: leave half a line of room beyond both scale ends.
    const double half = l.labelHeight / 2.0;
    const double top = l.captionRect.bottom() + kCaptionGap + half;
    const double bottom = h - kMargin - kBottomGap - half;
    l.bar = QRectF(barLeft, top, barW, std::max(0.0, bottom - top));
    return l;
}

QRectF LinearGauge::scaleRect() const {
    return layout().bar;
}

double LinearGauge::valueToY(double value) const {
    if (std::isnan(value) || !scaleIsValid())
        return std::numeric_limits<double>::quiet_NaN();
    const QRectF bar = layout().bar;
    const double v = std::clamp(value, scaleMin_, scaleMax_);
    return bar.bottom() - (v - scaleMin_) / (scaleMax_ - scaleMin_) * bar.height();
}

QString LinearGauge::valueText() const {
    if (std::isnan(value_))
        return QStringLiteral("no reading");
    QString text = QString::number(value_, 'g', 4);
    if (scaleIsValid() && value_ < scaleMin_)
        text += QStringLiteral(", below scale");
    else if (scaleIsValid() && value_ > scaleMax_)
        text += QStringLiteral(", above scale");
    return text;
}

QSize LinearGauge::sizeHint() const {
    return {57, 249};  // 855 x 3735 twips on the panel
}

QSize LinearGauge::minimumSizeHint() const {
    return {40, 120};
}

void LinearGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawKeptFace(p);
    paintPointer(p);
}

void LinearGauge::paintKept(QPainter& p) const {
    paintFace(p);
    paintScale(p);
}

// Face and a one-pixel raised bevel, then the caption.
void LinearGauge::paintFace(QPainter& p) const {
    const QPalette& pal = palette();
    const QRectF all = rect();
    p.fillRect(all, pal.color(QPalette::Button));
    p.setPen(QPen(pal.color(QPalette::Light), 1.0));
    p.drawLine(QPointF(0.5, all.height() - 1.0), QPointF(0.5, 0.5));
    p.drawLine(QPointF(0.5, 0.5), QPointF(all.width() - 1.0, 0.5));
    p.setPen(QPen(pal.color(QPalette::Dark), 1.0));
    p.drawLine(QPointF(all.width() - 0.5, 0.5), QPointF(all.width() - 0.5, all.height() - 0.5));
    p.drawLine(QPointF(0.5, all.height() - 0.5), QPointF(all.width() - 0.5, all.height() - 0.5));

    const Layout& l = layout();
    if (!caption_.isEmpty()) {
        p.setFont(l.captionFont);
        p.setPen(pal.color(QPalette::ButtonText));
        p.drawText(l.captionRect, Qt::AlignHCenter | Qt::AlignTop, caption_);
    }
}

// The bar with its bands, the ticks and their labels.
void LinearGauge::paintScale(QPainter& p) const {
    const Layout& l = layout();
    if (!scaleIsValid() || l.bar.height() <= 0.0)
        return;
    const QPalette& pal = palette();
    const double dpr = p.device()->devicePixelRatioF();  // the target, also off screen
    auto yOf = [&](double v) { return valueToY(v); };
    const double barLeft = snapEdge(l.bar.left(), dpr);
    const double barRight = snapEdge(l.bar.right(), dpr);

    // Bar track, then the bands over it in list order.
    const QRectF track(QPointF(barLeft, snapEdge(l.bar.top(), dpr)),
                       QPointF(barRight, snapEdge(l.bar.bottom(), dpr)));
    p.fillRect(track, pal.color(QPalette::Midlight));
    for (const GaugeBand& b : bands_) {
        const double lo = std::max(std::min(b.from, b.to), scaleMin_);
        const double hi = std::min(std::max(b.from, b.to), scaleMax_);
        if (!(hi > lo))
            continue;
        p.fillRect(QRectF(QPointF(barLeft, snapEdge(yOf(hi), dpr)),
                          QPointF(barRight, snapEdge(yOf(lo), dpr))),
                   b.color);
    }
    p.setPen(QPen(pal.color(QPalette::Dark), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(track.adjusted(-0.5, -0.5, 0.5, 0.5));

    // Ticks and labels. Ticks outside the scale are not drawn.
    const double majorLeft = l.tickLeft;
    const double minorLeft = l.tickLeft + (barLeft - l.tickLeft) / 2.0;
    p.setPen(QPen(pal.color(QPalette::ButtonText), 1.0, Qt::SolidLine, Qt::FlatCap));
    if (minorTicks_ > 0) {
        for (int i = 0; i + 1 < l.ticks.size(); ++i) {
            const double span = l.ticks[i + 1] - l.ticks[i];
            for (int k = 1; k <= minorTicks_; ++k) {
                const double v = l.ticks[i] + span * k / (minorTicks_ + 1);
                if (v < scaleMin_ || v > scaleMax_)
                    continue;
                const double y = snapLine(yOf(v), dpr);
                p.drawLine(QPointF(minorLeft, y), QPointF(barLeft, y));
            }
        }
    }
    p.setFont(l.labelFont);
    for (int i = 0; i < l.ticks.size(); ++i) {
        const double v = l.ticks[i];
        if (v < scaleMin_ || v > scaleMax_)
            continue;
        const double y = snapLine(yOf(v), dpr);
        p.drawLine(QPointF(majorLeft, y), QPointF(barLeft, y));
        const QRectF box(0.0, y - l.labelHeight / 2.0, l.labelRight, l.labelHeight);
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, l.labels[i]);
    }
}

// A mark across the bar and a triangle beside it pointing at the reading.
void LinearGauge::paintPointer(QPainter& p) const {
    const Layout& l = layout();
    if (std::isnan(value_) || !scaleIsValid() || l.bar.height() <= 0.0)
        return;
    const double dpr = p.device()->devicePixelRatioF();
    const double barLeft = snapEdge(l.bar.left(), dpr);
    const double barRight = snapEdge(l.bar.right(), dpr);
    const double y = snapLine(valueToY(value_), dpr);
    const double pw = l.pointerRight - barRight;
    p.setPen(QPen(kPointerFill, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(barLeft, y), QPointF(barRight, y));
    QPainterPath tri;
    tri.moveTo(barRight + 0.5, y);
    tri.lineTo(l.pointerRight - 0.5, y - pw * 0.55);
    tri.lineTo(l.pointerRight - 0.5, y + pw * 0.55);
    tri.closeSubpath();
    p.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kPointerFill);
    p.drawPath(tri);
}

}  // namespace ignivex
