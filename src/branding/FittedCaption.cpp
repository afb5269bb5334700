#include "branding/FittedCaption.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace ignivex {

namespace {
constexpr double kStepPoints = 0.5;
constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

bool fits(const QFont& font, const QString& text, const QRect& box) {
    const QFontMetricsF fm(font);
    const QRectF needed = fm.boundingRect(QRectF(box), kFlags, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}
}  // namespace

FittedCaption::FittedCaption(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void FittedCaption::setUsableHeight(int pixels) {
    usableHeight_ = pixels;
    valid_ = false;
    update();
}

QRect FittedCaption::usableRect() const {
    QRect box = contentsRect();
    if (usableHeight_ >= 0)
        box.setHeight(std::min(box.height(), usableHeight_));
    return box;
}

QFont FittedCaption::drawnFont() const {
    if (valid_ && fittedFor_ == text())
        return fitted_;
    QFont f = font();
    const QRect box = usableRect();
    // A pixel-sized font or one already at or below the floor is drawn as it is.
    if (f.pointSizeF() > kMinPoints && !fits(f, text(), box)) {
        double points = std::floor(f.pointSizeF() / kStepPoints) * kStepPoints;
        do {
            points = std::max(kMinPoints, points - kStepPoints);
            f.setPointSizeF(points);
        } while (points > kMinPoints && !fits(f, text(), box));
    }
    fitted_ = f;
    fittedFor_ = text();
    valid_ = true;
    return fitted_;
}

void FittedCaption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(drawnFont());
    p.setPen(palette().color(foregroundRole()));
    p.setClipRect(contentsRect());
    p.drawText(usableRect(), kFlags, text());
}

void FittedCaption::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        valid_ = false;
    QLabel::changeEvent(event);
}

void FittedCaption::resizeEvent(QResizeEvent* event) {
    valid_ = false;
    QLabel::resizeEvent(event);
}

}  // namespace ignivex
