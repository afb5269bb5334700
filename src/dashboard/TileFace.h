#pragma once

#include "tiles/TileLayout.h"

#include <QColor>
#include <QString>
#include <optional>

class QPainter;
class QRectF;

namespace ignivex::dash {

// The colours of the dashboard. At night: dark, dimmed, nothing white, so the driver's eyes
// stay used to the road.
struct Colours {
    QColor window, tile, frame, text, dim, track, lit, alarm, alarmBack;
    static Colours day();
    static Colours night();
    // A channel's own colour as it is drawn in this scheme (dimmed at night).
    QColor accent(QColor channel) const;
    bool isNight = false;
};

// Everything a tile shows, so its picture is made from this state alone.
struct TileFace {
    tiles::Kind kind = tiles::Kind::Number;
    QString name;   // the channel's, or what is wrong with it
    QString unit;
    QColor colour;  // the channel's
    std::optional<double> value;  // nothing: not read (yet, or the link is lost)
    int decimals = 1;
    double low = 0, high = 100;  // a dial's or a bar's scale
    bool known = true;           // the channel exists
    // An alarm on the channel: its text, whether it fires, and the flash's phase.
    QString alarmText;
    bool alarmFiring = false;
    bool flashOn = false;

    QString valueText() const;  // "6250", "13.8"; "ON"/"OFF" for a lamp; a dash for nothing
    double fraction() const;    // of the scale, 0 to 1
    bool lit() const { return value && *value >= 0.5; }
    bool operator==(const TileFace&) const = default;
};

// What of a tile to paint: the back (frame, name, unit, scale: what the value leaves alone)
// can be kept in a picture, so a new value costs only the front.
struct Layers {
    bool back = true;
    bool front = true;
};

// Paints the tile into `r`, its sizes following the rectangle.
void paintTile(QPainter& p, const QRectF& r, const TileFace& face, const Colours& colours,
               Layers layers = {});

}  // namespace ignivex::dash
