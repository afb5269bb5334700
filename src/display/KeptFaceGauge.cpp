#include "display/KeptFaceGauge.h"

#include <QEvent>
#include <QPainter>

namespace ignivex {

void KeptFaceGauge::forget() {
    forgetLayout();
    face_.invalidate();
}

void KeptFaceGauge::appearanceChange() {
    forget();
    update();
    emit appearanceChanged();
}

void KeptFaceGauge::drawKeptFace(QPainter& painter) {
    face_.draw(painter, size(), [this](QPainter& face) { paintKept(face); });
}

void KeptFaceGauge::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    forget();
}

void KeptFaceGauge::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        forget();
}

}  // namespace ignivex
