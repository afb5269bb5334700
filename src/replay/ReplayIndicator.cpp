#include "replay/ReplayIndicator.h"

#include "base/Twips.h"

#include <QPainter>
#include <QPainterPath>

namespace ignivex::chart {

namespace {
const QColor kAmber(255, 176, 0);
}

ReplayIndicator::ReplayIndicator(QWidget* panel) : QWidget(panel) {
    setObjectName(QStringLiteral("lblReplay"));
    setGeometry(twipsRect(6100, 5280, 2800, 720));
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
}

QSize ReplayIndicator::sizeHint() const {
    return twipsRect(0, 0, 2800, 720).size();
}

void ReplayIndicator::setState(const QString& file, bool playing, int speed,
                               const QString& position) {
    if (file == file_ && playing == playing_ && speed == speed_ && position == position_)
        return;
    file_ = file;
    playing_ = playing;
    speed_ = speed;
    position_ = position;
    update();
}

QString ReplayIndicator::text() const {
    return QStringLiteral("REPLAY %1 x%2 %3 %4")
        .arg(playing_ ? QStringLiteral("playing") : QStringLiteral("paused"))
        .arg(speed_)
        .arg(file_, position_);
}

void ReplayIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::black);
    const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(QPen(kAmber, 2));
    p.drawRoundedRect(box, 4, 4);

    const double top = box.height() * 0.55;
    QFont big = font();
    big.setBold(true);
    big.setPixelSize(std::max(10, int(top * 0.72)));
    p.setFont(big);
    const QRectF first(box.left() + 6, box.top(), box.width() - 12, top);
    p.setPen(kAmber);
    p.drawText(first, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("REPLAY"));

    // Playing or paused, drawn rather than taken from a font, then the speed.
    const double glyph = top * 0.46;
    const QFontMetricsF bfm(big);
    const double gx = first.left() + bfm.horizontalAdvance(QStringLiteral("REPLAY")) + glyph * 0.8;
    const double gy = first.center().y() - glyph / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    if (playing_) {
        QPainterPath triangle;
        triangle.moveTo(gx, gy);
        triangle.lineTo(gx + glyph * 0.9, gy + glyph / 2);
        triangle.lineTo(gx, gy + glyph);
        triangle.closeSubpath();
        p.drawPath(triangle);
    } else {
        p.drawRect(QRectF(gx, gy, glyph * 0.32, glyph));
        p.drawRect(QRectF(gx + glyph * 0.56, gy, glyph * 0.32, glyph));
    }
    p.setPen(kAmber);
    p.drawText(first, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("x%1").arg(speed_));

    QFont small = font();
    small.setBold(false);
    small.setPixelSize(std::max(8, int((box.height() - top) * 0.62)));
    p.setFont(small);
    p.setPen(Qt::white);
    const QRectF second(box.left() + 6, box.top() + top, box.width() - 12, box.height() - top - 2);
    const QFontMetricsF sfm(small);
    const double positionWidth = sfm.horizontalAdvance(position_) + 8;
    p.drawText(second, Qt::AlignRight | Qt::AlignVCenter, position_);
    p.drawText(second.adjusted(0, 0, -positionWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
               sfm.elidedText(file_, Qt::ElideMiddle, second.width() - positionWidth));
}

}  // namespace ignivex::chart
