#pragma once

#include "record/ChannelInfo.h"

#include <QColor>
#include <QPen>

namespace ignivex::chart {

// How each overlay is told from the recording and from the others: a dash pattern (on and off,
// in logical pixels, the same at every zoom) and a shade of the channel's own colour. The
// strips, the XY plot and the legends draw them alike. Index 0 is the first overlay.
struct OverlayStyle {
    double dashOn = 6, dashOff = 4;
    int lighter = 160;      // QColor::lighter's factor; under 100 darkens
    QColor input;           // the inputs' line: the recording's are near black
    const char* name = "";  // how the line is called in messages
};

inline constexpr int kOverlayStyles = 3;

inline OverlayStyle overlayStyle(int index) {
    switch (index % kOverlayStyles) {
    case 1:
        return {2, 3, 60, QColor(30, 130, 60), "dotted"};
    case 2:
        return {10, 3, 125, QColor(200, 120, 0), "long dashes"};
    default:
        return {6, 4, 160, QColor(200, 40, 120), "dashed"};
    }
}

// The colour of a channel of overlay `index`, from the channel's own colour `own`.
inline QColor overlayColour(int index, const record::ChannelInfo& info, const QColor& own) {
    const OverlayStyle style = overlayStyle(index);
    if (info.onOff())
        return style.input;
    return style.lighter >= 100 ? own.lighter(style.lighter) : own.darker(10000 / style.lighter);
}

inline QPen overlayPen(int index, const QColor& colour, double width) {
    const OverlayStyle style = overlayStyle(index);
    QPen pen(colour, width, Qt::CustomDashLine);
    pen.setDashPattern({style.dashOn / width, style.dashOff / width});
    return pen;
}

}  // namespace ignivex::chart
