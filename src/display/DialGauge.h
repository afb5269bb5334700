#pragma once

#include <QPolygonF>
#include <QString>
#include <QWidget>

#include "display/KeptFaceGauge.h"

#include <cstdint>
#include <memory>

namespace ignivex {

// Circular tachometer dial in thousands of rpm. The scale sweeps 270 degrees clockwise from
// the lower left (0) to the lower right (scaleMaximum), with labelled whole thousands, an
// amber arc from warningStart to redlineStart and a red arc from redlineStart to the maximum.
// The fixed texts "RPM" and "x 1000" sit above and below the hub; the caption is the numeric
// read-out in a window at the bottom, where the sweep leaves room.
//
// Settings the real-time view applies when it opens, in order:
//   dial value 7.0                -> setWarningStart(7.0): amber arc begins, thousands of rpm
//   dial value 7.5                -> setRedlineStart(7.5): red arc begins, thousands of rpm
//   further dial setting 10       -> setScaleMaximum(10): end of the scale, thousands of rpm
// and on every speed update and on link loss:
//   further dial setting 3        -> setNeedleWidth(3): needle width in logical pixels
//
// Readings: below 0 or above the maximum (and +-infinity) the needle rests at that end; NaN
// ("no reading") draws no needle. The face outline is the square with cut corners of the
// panel design (outline()), stretched to the widget.
//
// Every change repaints, tells assistive technology and emits its change signal; writing the
// value it already has does none of that. The face, arcs, ticks and labels are painted once
// into a kept picture until the size, a setting, the font or the palette changes; a new reading
// repaints only the read-out and the needle over it. Accessible name: accessibleName(), else objectName, else "RPM"; accessible value:
// valueText().
class DialGauge : public KeptFaceGauge, public gauge::Described {
    Q_OBJECT
    Q_PROPERTY(double value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(QString caption READ caption WRITE setCaption NOTIFY captionChanged)
    Q_PROPERTY(double warningStart READ warningStart WRITE setWarningStart)
    Q_PROPERTY(double redlineStart READ redlineStart WRITE setRedlineStart)
    Q_PROPERTY(int scaleMaximum READ scaleMaximum WRITE setScaleMaximum)
    Q_PROPERTY(int needleWidth READ needleWidth WRITE setNeedleWidth)

public:
    static constexpr double kStartAngle = 225.0;  // degrees, counter-clockwise from 3 o'clock
    static constexpr double kSweep = 270.0;       // clockwise from kStartAngle
    static constexpr int kMinScaleMaximum = 1;
    static constexpr int kMaxNeedleWidth = 20;

    explicit DialGauge(QWidget* parent = nullptr);
    ~DialGauge() override;

    // The reading in thousands of rpm.
    double value() const { return value_; }
    void setValue(double thousandsRpm);

    // The read-out text, e.g. "916".
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    // Start of the amber arc; it ends where the red arc begins. No amber arc when it is not
    // below redlineStart, and none past the maximum.
    double warningStart() const { return warningStart_; }
    void setWarningStart(double thousandsRpm);

    // Start of the red arc, which runs to the end of the scale.
    double redlineStart() const { return redlineStart_; }
    void setRedlineStart(double thousandsRpm);

    // End of the scale in thousands of rpm, at least kMinScaleMaximum. Labels fall on whole
    // thousands, thinned out (every 2, 5, 10, ...) when more than 12 would crowd the dial.
    int scaleMaximum() const { return scaleMax_; }
    void setScaleMaximum(std::int16_t thousandsRpm);

    // Needle width in logical pixels, clamped to 1 .. kMaxNeedleWidth.
    int needleWidth() const { return needleWidth_; }
    void setNeedleWidth(std::int16_t pixels);

    // Needle direction for a reading, in degrees counter-clockwise from 3 o'clock: 225 at 0,
    // -45 at the maximum, clamped to that sweep; NaN for NaN.
    double angleFor(double thousandsRpm) const;

    // Thousands of rpm between labels.
    int labelStep() const;

    // The face outline: the panel design's points on a 1000 x 1000 grid scaled to the widget.
    QPolygonF outline() const;
    QPointF centre() const;
    double radius() const;

    // Spoken value: the read-out and "rpm" ("916 rpm"); while the read-out is empty, the
    // reading itself in rpm.
    QString valueText() const override;
    Role accessibleRole() const override { return Role::Dial; }
    QString fallbackName() const override { return QStringLiteral("RPM"); }
    QVariant reading() const override { return value_; }
    QVariant readingMinimum() const override { return 0.0; }
    QVariant readingMaximum() const override { return double(scaleMax_); }

    // The colour around the drawing (the panel it stands on). Once set, the widget paints its
    // whole rectangle itself, so a new reading does not repaint the panel behind it.
    void setSurroundColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(double thousandsRpm);
    void captionChanged(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void forgetLayout() override;
    void paintKept(QPainter& p) const override;

private:
    struct Layout;
    const Layout& layout() const;
    QPointF pointAt(double angleDeg, double fractionOfRadius) const;
    void paintFace(QPainter& p) const;
    void paintScale(QPainter& p) const;
    void paintReadout(QPainter& p) const;
    void paintNeedle(QPainter& p) const;

    double value_ = 0.0;
    QString caption_;
    double warningStart_ = 7.0;
    double redlineStart_ = 7.5;
    int scaleMax_ = 10;
    int needleWidth_ = 3;
    QColor surround_;
    mutable std::unique_ptr<Layout> layout_;
};

}  // namespace ignivex
