#include "dashboard/TileWidget.h"

#include <QPainter>
#include <cmath>

namespace ignivex::dash {

TileWidget::TileWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TileWidget::change(const TileFace& face) {
    if (face == face_)
        return;
    face_ = face;
    update();
}

void TileWidget::setFace(const TileFace& face) {
    change(face);
}

void TileWidget::setValue(std::optional<double> value) {
    TileFace next = face_;
    next.value = value;
    // What the picture shows of the value: its text and its place on the scale, to a
    // thousandth (well under a pixel on the largest dial).
    const bool same = next.valueText() == face_.valueText() &&
                      std::lround(next.fraction() * 1000) == std::lround(face_.fraction() * 1000);
    face_.value = value;
    if (same)
        return;
    ++changes_;
    if (pending_)
        ++passedOver_;
    pending_ = true;
    update();
}

void TileWidget::setAlarm(const QString& text, bool firing) {
    TileFace next = face_;
    next.alarmText = text;
    next.alarmFiring = firing;
    change(next);
}

void TileWidget::setFlashOn(bool on) {
    TileFace next = face_;
    next.flashOn = on;
    change(next);
}

void TileWidget::setColours(const Colours& colours) {
    colours_ = colours;
    backFace_.reset();
    update();
}

void TileWidget::paintEvent(QPaintEvent*) {
    ++paints_;
    pending_ = false;
    TileFace still = face_;
    still.value.reset();
    const qreal ratio = devicePixelRatioF();
    if (!backFace_ || *backFace_ != still || back_.size() != size() * ratio) {
        back_ = QPixmap(size() * ratio);
        back_.setDevicePixelRatio(ratio);
        back_.fill(colours_.window);
        QPainter b(&back_);
        paintTile(b, QRectF(rect()), still, colours_, {true, false});
        backFace_ = still;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, back_);
    paintTile(p, QRectF(rect()), face_, colours_, {false, true});
}

}  // namespace ignivex::dash
