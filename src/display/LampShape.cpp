#include "display/LampShape.h"

#include "display/GaugeSupport.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace ignivex {

namespace {
const QColor kRim(110, 110, 110);
}

LampShape::LampShape(QWidget* parent) : QWidget(parent) {
    gauge::installAccessibility();
}

void LampShape::setFillColor(const QColor& color) {
    if (color == fill_)
        return;
    fill_ = color;
    update();
    gauge::notifyValueChanged(this, valueText());
    emit fillColorChanged(fill_);
}

QString LampShape::valueText() const {
    return gauge::colorName(fill_);
}

void LampShape::setSurroundColor(const QColor& color) {
    if (color == surround_)
        return;
    surround_ = color;
    setAttribute(Qt::WA_OpaquePaintEvent, surround_.isValid() && surround_.alpha() == 255);
    update();
}

QSize LampShape::sizeHint() const {
    return {17, 17};  // 255 x 255 twips on the panel
}

void LampShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (surround_.isValid())
        p.fillRect(rect(), surround_);
    p.setRenderHint(QPainter::Antialiasing);
    const double d = std::min(width(), height()) - 1.0;
    if (d <= 0.0)
        return;
    const QRectF circle(QRectF(rect()).center() - QPointF(d / 2, d / 2), QSizeF(d, d));
    p.setPen(QPen(kRim, 1.0));
    p.setBrush(fill_);
    p.drawEllipse(circle);
}

}  // namespace ignivex
