#include "app/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace ignivex {

QImage appIconImage(int size) {
    // An image, not a pixmap: the icons of the install are drawn at build time, with no
    // display and no application object.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // Face: black disc in a grey rim.
    p.setPen(QPen(QColor(128, 128, 128), 2));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(2, 2, 28, 28));

    // Ticks over a 270-degree sweep; the last three in red.
    const QPointF centre(16, 16);
    for (int i = 0; i <= 8; ++i) {
        const double angle = qDegreesToRadians(225.0 - i * 270.0 / 8);
        const QPointF dir(std::cos(angle), -std::sin(angle));
        p.setPen(QPen(i >= 6 ? QColor(255, 0, 0) : Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(centre + dir * 9.5, centre + dir * 12.5);
    }

    // Needle towards the upper right, and the hub.
    const double needle = qDegreesToRadians(60.0);
    p.setPen(QPen(QColor(255, 128, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::cos(needle), -std::sin(needle)) * 11);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 2.5, 2.5);
    p.end();
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

}  // namespace ignivex
