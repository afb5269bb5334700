#include "dashboard/TileFace.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace ignivex::dash {

Colours Colours::day() {
    Colours c;
    c.window = QColor(0xdf, 0xe3, 0xe8);
    c.tile = QColor(0xfb, 0xfb, 0xfc);
    c.frame = QColor(0xb8, 0xbe, 0xc6);
    c.text = QColor(0x10, 0x14, 0x18);
    c.dim = QColor(0x56, 0x5e, 0x68);
    c.track = QColor(0xd5, 0xd9, 0xde);
    c.lit = QColor(0x2e, 0x9d, 0x3a);
    c.alarm = QColor(0xd3, 0x2f, 0x2f);
    c.alarmBack = QColor(0xff, 0xd9, 0xd6);
    return c;
}

Colours Colours::night() {
    Colours c;
    c.window = QColor(0x00, 0x00, 0x00);
    c.tile = QColor(0x0c, 0x0d, 0x10);
    c.frame = QColor(0x26, 0x28, 0x2d);
    c.text = QColor(0xb0, 0x86, 0x50);  // amber, well below white
    c.dim = QColor(0x6a, 0x55, 0x38);
    c.track = QColor(0x20, 0x22, 0x27);
    c.lit = QColor(0x22, 0x5a, 0x26);
    c.alarm = QColor(0xa8, 0x22, 0x1c);
    c.alarmBack = QColor(0x38, 0x08, 0x06);
    c.isNight = true;
    return c;
}

QColor Colours::accent(QColor channel) const {
    if (!isNight)
        return channel;
    // At night a channel keeps its hue, at well under half its brightness.
    float h = 0, s = 0, v = 0;
    channel.getHsvF(&h, &s, &v);
    return QColor::fromHsvF(h, std::max(s, 0.5f), std::min(v, 0.42f));
}

QString TileFace::valueText() const {
    if (kind == tiles::Kind::Lamp)
        return !value ? QStringLiteral("\u2014") : lit() ? QStringLiteral("ON") : QStringLiteral("OFF");
    if (!value || !std::isfinite(*value))
        return QStringLiteral("\u2014");
    return QString::number(*value, 'f', std::clamp(decimals, 0, 6));
}

double TileFace::fraction() const {
    if (!value || !std::isfinite(*value) || !(high > low))
        return 0;
    return std::clamp((*value - low) / (high - low), 0.0, 1.0);
}

namespace {

// The largest pixel size at which `text` fits `box`, up to the box's height.
QFont fitted(QFont font, const QString& text, const QSizeF& box, bool bold = false) {
    font.setBold(bold);
    font.setPixelSize(std::max(6, int(box.height() * 0.82)));
    const QFontMetricsF fm(font);
    const double width = fm.horizontalAdvance(text);
    if (width > box.width() && width > 0)
        font.setPixelSize(std::max(6, int(font.pixelSize() * box.width() / width)));
    return font;
}

void drawFitted(QPainter& p, const QRectF& box, const QString& text, const QColor& colour,
                Qt::Alignment align, bool bold = true) {
    p.setFont(fitted(p.font(), text, box.size(), bold));
    p.setPen(colour);
    p.drawText(box, align, text);
}

QString scaleText(double v) {
    return std::abs(v - std::round(v)) < 1e-9 ? QString::number(qint64(std::llround(v)))
                                              : QString::number(v, 'g', 3);
}

void paintDial(QPainter& p, const QRectF& area, const TileFace& f, const Colours& c, QColor accent,
               Layers layers) {
    const double side = std::min(area.width(), area.height());
    const QRectF dial(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    const double pen = side * 0.09;
    const QRectF arc = dial.adjusted(pen, pen, -pen, -pen);
    // 270 degrees, from the lower left round to the lower right.
    constexpr int kStart = 225 * 16, kSweep = -270 * 16;
    if (layers.back) {
        p.setPen(QPen(c.track, pen, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arc, kStart, kSweep);
    }
    if (layers.front && f.value) {
        p.setPen(QPen(accent, pen, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arc, kStart, int(kSweep * f.fraction()));
    }
    // Ticks at tenths of the scale, inside the arc.
    const QPointF centre = arc.center();
    const double radius = arc.width() / 2;
    p.setPen(QPen(c.dim, std::max(1.0, side * 0.012)));
    for (int i = 0; layers.back && i <= 10; ++i) {
        const double a = (225.0 - 27.0 * i) * std::numbers::pi / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        const double inner = radius - pen * (i % 5 == 0 ? 1.6 : 1.1);
        p.drawLine(centre + dir * (radius - pen * 0.6), centre + dir * inner);
    }
    // The needle.
    if (layers.front && f.value) {
        const double a = (225.0 - 270.0 * f.fraction()) * std::numbers::pi / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        p.setPen(QPen(c.text, std::max(2.0, side * 0.025), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(centre, centre + dir * (radius - pen * 1.2));
        p.setBrush(c.text);
        p.setPen(Qt::NoPen);
        p.drawEllipse(centre, side * 0.03, side * 0.03);
        p.setBrush(Qt::NoBrush);
    }
    // The value large under the centre, the scale's ends at the arc's feet.
    // Narrower than the arc's opening, so a long value stays clear of the lowest ticks.
    const QRectF valueBox(centre.x() - radius * 0.56, centre.y() + radius * 0.12, radius * 1.12,
                          radius * 0.5);
    if (layers.front)
        drawFitted(p, valueBox, f.valueText(), c.text, Qt::AlignCenter);
    if (!layers.back)
        return;
    const double feet = radius * 0.2;
    const QRectF lowBox(arc.left(), centre.y() + radius * 0.72, radius * 0.6, feet);
    const QRectF highBox(arc.right() - radius * 0.6, centre.y() + radius * 0.72, radius * 0.6, feet);
    p.setFont(fitted(p.font(), QStringLiteral("00000"), lowBox.size()));
    p.setPen(c.dim);
    p.drawText(lowBox, Qt::AlignLeft | Qt::AlignVCenter, scaleText(f.low));
    p.drawText(highBox, Qt::AlignRight | Qt::AlignVCenter, scaleText(f.high));
}

void paintBar(QPainter& p, const QRectF& area, const TileFace& f, const Colours& c, QColor accent,
              Layers layers) {
    const bool across = area.width() >= area.height() * 0.8;
    QRectF bar, valueBox;
    if (across) {
        valueBox = QRectF(area.left(), area.top(), area.width(), area.height() * 0.54);
        bar = QRectF(area.left(), area.top() + area.height() * 0.58, area.width(),
                     area.height() * 0.22);
    } else {
        const double w = std::min(area.width() * 0.4, area.height() * 0.3);
        bar = QRectF(area.left(), area.top(), w, area.height());
        valueBox = QRectF(bar.right() + w * 0.3, area.top() + area.height() * 0.3,
                          area.right() - bar.right() - w * 0.3, area.height() * 0.4);
    }
    const double round = std::min(bar.width(), bar.height()) * 0.15;
    p.setPen(Qt::NoPen);
    p.setBrush(c.track);
    if (layers.back)
        p.drawRoundedRect(bar, round, round);
    if (layers.front && f.value) {
        const double k = f.fraction();
        QRectF filled = bar;
        if (across)
            filled.setWidth(bar.width() * k);
        else
            filled.setTop(bar.bottom() - bar.height() * k);
        p.setBrush(accent);
        p.drawRoundedRect(filled, round, round);
    }
    p.setBrush(Qt::NoBrush);
    if (layers.front)
        drawFitted(p, valueBox, f.valueText(), c.text, Qt::AlignCenter);
    const QFont before = p.font();
    p.setPen(c.dim);
    if (across && layers.back) {
        const QRectF ends(bar.left(), bar.bottom(), bar.width(), area.bottom() - bar.bottom());
        p.setFont(fitted(before, QStringLiteral("00000"),
                         QSizeF(ends.width() / 3, std::max(6.0, ends.height()))));
        p.drawText(ends, Qt::AlignLeft | Qt::AlignVCenter, scaleText(f.low));
        p.drawText(ends, Qt::AlignRight | Qt::AlignVCenter, scaleText(f.high));
    }
}

void paintLamp(QPainter& p, const QRectF& area, const TileFace& f, const Colours& c) {
    const double side = std::min(area.width(), area.height() * 0.7);
    const QPointF centre(area.center().x(), area.top() + area.height() * 0.38);
    p.setPen(QPen(c.frame, std::max(1.0, side * 0.03)));
    p.setBrush(f.lit() ? c.lit : c.track);
    p.drawEllipse(centre, side * 0.34, side * 0.34);
    p.setBrush(Qt::NoBrush);
    const QRectF text(area.left(), area.top() + area.height() * 0.74, area.width(),
                      area.height() * 0.26);
    drawFitted(p, text, f.valueText(), f.lit() ? c.text : c.dim, Qt::AlignCenter);
}

}  // namespace

void paintTile(QPainter& p, const QRectF& r, const TileFace& f, const Colours& c, Layers layers) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const double edge = std::max(1.0, std::min(r.width(), r.height()) * 0.012);
    const double round = std::min(r.width(), r.height()) * 0.05;
    const bool alarmShown = f.alarmFiring && f.flashOn;
    p.setPen(QPen(f.alarmFiring ? c.alarm : c.frame, f.alarmFiring ? edge * 4 : edge));
    p.setBrush(alarmShown ? c.alarmBack : c.tile);
    const QRectF tile = r.adjusted(edge * 2, edge * 2, -edge * 2, -edge * 2);
    if (layers.back)
        p.drawRoundedRect(tile, round, round);
    p.setBrush(Qt::NoBrush);

    const double pad = std::min(tile.width(), tile.height()) * 0.06;
    const QRectF inner = tile.adjusted(pad, pad, -pad, -pad);
    // The channel's name and unit across the top, a tenth or more of the tile.
    const double head = std::clamp(inner.height() * 0.13, 10.0, 60.0);
    const QRectF nameBox(inner.left(), inner.top(), inner.width(), head);
    QFont font = p.font();
    font.setPixelSize(int(head * 0.85));
    font.setBold(true);
    p.setFont(font);
    const QFontMetricsF fm(font);
    if (layers.back) {
        p.setPen(f.known ? c.text : c.alarm);
        const QString unit = f.unit.isEmpty() ? QString() : QStringLiteral("  ") + f.unit;
        const double unitWidth = fm.horizontalAdvance(unit);
        p.drawText(QRectF(nameBox.left(), nameBox.top(), nameBox.width() - unitWidth, head),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(f.name, Qt::ElideRight, nameBox.width() - unitWidth));
        font.setBold(false);
        p.setFont(font);
        p.setPen(c.dim);
        p.drawText(nameBox, Qt::AlignRight | Qt::AlignVCenter, unit.trimmed());
    }

    // The alarm's text along the bottom while it fires.
    QRectF body(inner.left(), inner.top() + head * 1.25, inner.width(),
                inner.height() - head * 1.25);
    if (f.alarmFiring && !f.alarmText.isEmpty()) {
        const QRectF alarmBox(inner.left(), inner.bottom() - head, inner.width(), head);
        body.setBottom(alarmBox.top() - head * 0.2);
        font.setBold(true);
        p.setFont(font);
        p.setPen(c.alarm);
        if (layers.back)
            p.drawText(alarmBox, Qt::AlignCenter,
                       QFontMetricsF(font).elidedText(f.alarmText, Qt::ElideRight, alarmBox.width()));
    }
    if (body.height() > 4 && body.width() > 4) {
        const QColor accent = c.accent(f.colour);
        switch (f.kind) {
        case tiles::Kind::Dial:
            paintDial(p, body, f, c, accent, layers);
            break;
        case tiles::Kind::Bar:
            paintBar(p, body, f, c, accent, layers);
            break;
        case tiles::Kind::Lamp:
            if (layers.front)
                paintLamp(p, body, f, c);
            break;
        case tiles::Kind::Number:
            if (layers.front)
                drawFitted(p, body.adjusted(0, body.height() * 0.08, 0, -body.height() * 0.08),
                       f.valueText(), c.text, Qt::AlignCenter);
            break;
        }
    }
    p.restore();
}

}  // namespace ignivex::dash
