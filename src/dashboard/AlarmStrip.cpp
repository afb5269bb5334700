#include "dashboard/AlarmStrip.h"

#include <QFontMetricsF>
#include <QPainter>

namespace ignivex::dash {

AlarmStrip::AlarmStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("alarmStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    hide();
}

void AlarmStrip::setAlarms(const QStringList& texts) {
    if (texts == texts_)
        return;
    texts_ = texts;
    setVisible(!texts_.isEmpty());
    setToolTip(texts_.join(QLatin1Char('\n')));
    update();
}

void AlarmStrip::setFlashOn(bool on) {
    if (on == flashOn_)
        return;
    flashOn_ = on;
    update();
}

void AlarmStrip::setColours(const Colours& colours) {
    colours_ = colours;
    update();
}

QSize AlarmStrip::sizeHint() const {
    return {400, std::max(28, int(font().pixelSize() > 0 ? font().pixelSize() * 1.8 : 36))};
}

void AlarmStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Flashing: the band in the alarm's colour, then in its dark background.
    p.fillRect(rect(), flashOn_ ? colours_.alarm : colours_.alarmBack);
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(std::max(10, int(height() * 0.55)));
    p.setFont(f);
    p.setPen(flashOn_ ? (colours_.isNight ? colours_.text : QColor(0xff, 0xf4, 0xf0)) : colours_.alarm);
    const QString text = QStringLiteral("ALARM  ") + texts_.join(QStringLiteral("   \u2022   "));
    const QRectF box = QRectF(rect()).adjusted(height() * 0.4, 0, -height() * 0.4, 0);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(f).elidedText(text, Qt::ElideRight, box.width()));
}

}  // namespace ignivex::dash
