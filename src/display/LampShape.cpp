#include "display/LampShape.h"

#include "display/GaugeSupport.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace ignivex {

namespace {
const QColor kRim(110, 110, 110);
}

LampShape::LampShape(QWidget *parent) : QWidget(parent) {
    gauge::installAccessibility();
}

void LampShape::setFillColor(const QColor &color) {
    if (color == m_fill)
        return;
    m_fill = color;
    update();
    gauge::notifyValueChanged(this, valueText());
    emit fillColorChanged(m_fill);
}

QString LampShape::valueText() const {
    return gauge::colorName(m_fill);
}

void LampShape::setSurroundColor(const QColor &color) {
    if (color == m_surround)
        return;
    m_surround = color;
    setAttribute(Qt::WA_OpaquePaintEvent, m_surround.isValid() && m_surround.alpha() == 255);
    update();
}

QSize LampShape::sizeHint() const {
    return {17, 17};  // 255 x 255 twips on the panel
}

void LampShape::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (m_surround.isValid())
        p.fillRect(rect(), m_surround);
    p.setRenderHint(QPainter::Antialiasing);
    const double d = std::min(width(), height()) - 1.0;
    if (d <= 0.0)
        return;
    const QRectF circle(QRectF(rect()).center() - QPointF(d / 2, d / 2), QSizeF(d, d));
    p.setPen(QPen(kRim, 1.0));
    p.setBrush(m_fill);
    p.drawEllipse(circle);
}

}  // namespace ignivex
