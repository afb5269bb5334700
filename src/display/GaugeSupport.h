#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QVariant>

#include <functional>

class QAccessibleEvent;
class QPainter;
class QWidget;

// Small pieces the three display widgets share: scale arithmetic, label text, the panel font,
// colour names for screen readers, and the accessibility plumbing.
namespace ignivex::gauge {

// Upper bound on generated ticks, so a tiny division step cannot stall a paint.
inline constexpr int kMaxTicks = 200;

// Tick label text in the shortest general form of printf "%g": 0.5, 5, 18, -0.2 (never 0.50,
// 5.00). Independent of the locale, so the decimal point is always '.'.
QString tickLabel(double value);

// The values start, start + step, ... up to end (inclusive, with a small tolerance so 0.1-type
// steps still reach their end). Each value is computed as start + k * step, not by summing, so
// errors do not accumulate; a result within a hair of zero is exactly 0 (no "-0" label).
// Empty when any input is not finite, step <= 0 or end < start. At most kMaxTicks values.
QList<double> tickValues(double start, double end, double step);

// The panel's text font: "MS Sans Serif" bold at the given point size. Where that family is
// missing the platform's sans-serif stands in (DejaVu Sans on Debian; it is wider, which is why
// the linear gauge shrinks a caption or label that would not fit).
QFont panelFont(double pointSize);

// A word a screen reader can say for the plain colours the panel uses ("black", "red",
// "green", "amber", ...), otherwise the colour as "#rrggbb".
QString colorName(const QColor& color);

// What a display widget tells a screen reader. The three widgets implement it, so the
// accessibility factory needs none of their classes.
class Described {
public:
    enum class Role { Level, Dial, Indicator };
    virtual ~Described() = default;
    virtual Role accessibleRole() const = 0;
    // A name before the object name (a caption), and the one when there is no other.
    virtual QString captionName() const { return {}; }
    virtual QString fallbackName() const { return {}; }
    virtual QString valueText() const = 0;
    // The reading and its scale's ends; nothing for a lamp.
    virtual QVariant reading() const { return {}; }
    virtual QVariant readingMinimum() const { return {}; }
    virtual QVariant readingMaximum() const { return {}; }
};

// Registers the accessibility factory for the gauge widgets. Safe to call many times; each
// widget calls it from its constructor.
void installAccessibility();

// Tells assistive technology that a widget's value changed, or that its name did.
void notifyValueChanged(QWidget* widget, const QVariant& value);
void notifyNameChanged(QWidget* widget);

// Sees every accessibility event the widgets send, also while no assistive technology listens
// (Qt drops the events then, and the offscreen platform never has a listener). For tests;
// an empty function removes it.
using EventObserver = std::function<void(const QAccessibleEvent&)>;
void setEventObserver(EventObserver observer);

// Equality that treats two NaNs as equal, so re-writing "no reading" is not a change.
bool sameValue(double a, double b);

// The parts of a gauge that change only with its size, settings, font or palette (face, scale,
// labels), painted once into a pixmap at the target's pixel ratio and drawn from there on every
// repaint; only the needle and the read-out are painted afresh.
class FaceCache {
public:
    void invalidate() { valid_ = false; }
    // Draws the cached face at (0, 0), painting it first with `paintFace` when it is stale or
    // the painter's pixel ratio differs from the one it was made for.
    void draw(QPainter& painter, const QSize& size,
              const std::function<void(QPainter&)>& paintFace);

private:
    QPixmap pixmap_;
    bool valid_ = false;
};

}  // namespace ignivex::gauge
