#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "display/KeptFaceGauge.h"

#include <memory>

namespace ignivex {

// A coloured stretch of a linear gauge's scale, in scale units. from > to is read as to..from.
struct GaugeBand {
    double from = 0.0;
    double to = 0.0;
    QColor color = Qt::black;
    friend bool operator==(const GaugeBand&, const GaugeBand&) = default;
};

// Tall, narrow gauge: caption at the top, below it a vertical scale (bottom = minimum) with
// labelled major ticks on the left, the coloured bands as a bar, and a pointer on the bar's
// right that points at the current value.
//
// Scale and labels are separate on purpose: the scale (scaleMinimum..scaleMaximum) is the
// pointer's range and reaches a little past the labelled ticks (labelStart..labelEnd every
// divisionStep), so readings just outside the labels still show. Positions are linear in the
// scale, so a value of 0 sits on a tick labelled 0, not on the end of the scale.
//
// Readings the scale cannot show:
//   - below the minimum or above the maximum, and +-infinity: the pointer rests at that end;
//   - NaN ("no reading"): no pointer is drawn;
//   - a scale whose maximum is not above its minimum (or is not finite) draws only the face and
//     caption: no ticks, bands or pointer.
//
// Bands: drawn in list order, a later band on top of an earlier one where they overlap; a
// reading belongs to the band drawn under the pointer (bandIndexAt). Bands are closed
// intervals, except that an end zone (a band that starts at or below the scale minimum, or one
// that ends at or above the scale maximum, but not both) does not own its inner edge: a reading
// exactly there belongs to the neighbouring band. So with red -1..11, black 11..16, red 16..19
// the readings 11.0 and 16.0 are black, 10.99 and 16.01 red.
//
// Settings applied when the real-time view lays out the manifold-pressure gauge, in order:
//   Visible                      -> QWidget::setVisible
//   further setting 1 (0)        -> selectBand(0): the band the next band writes address
//   further setting 2 (0)        -> setBandColorIndex(0): that band's colour, 0 = black
//   further setting 3 (0)        -> setMinorTicks(0): unlabelled ticks between majors, 0 = none
//   first range lower/upper      -> setScaleMinimum / setScaleMaximum (the pointer's range)
//   second range lower/upper     -> setBandLower / setBandUpper (extent of the selected band)
//   labelled scale start/end     -> setLabelStart / setLabelEnd
//   division step                -> setDivisionStep
//
// Every change repaints, tells assistive technology and emits its change signal; writing the
// value it already has does none of that. The layout (fonts, label texts, positions) and the
// painted face are kept until the size, a setting, the font or the palette changes, so a new
// reading repaints only the pointer over the kept face. The accessible name is accessibleName(), else the caption, else the objectName; the
// accessible value is valueText().
class LinearGauge : public KeptFaceGauge, public gauge::Described {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(
        double pointerValue READ pointerValue WRITE setPointerValue NOTIFY pointerValueChanged)
    Q_PROPERTY(double scaleMinimum READ scaleMinimum WRITE setScaleMinimum)
    Q_PROPERTY(double scaleMaximum READ scaleMaximum WRITE setScaleMaximum)
    Q_PROPERTY(double labelStart READ labelStart WRITE setLabelStart)
    Q_PROPERTY(double labelEnd READ labelEnd WRITE setLabelEnd)
    Q_PROPERTY(double divisionStep READ divisionStep WRITE setDivisionStep)
    Q_PROPERTY(int minorTicks READ minorTicks WRITE setMinorTicks)
    Q_PROPERTY(int selectedBand READ selectedBand WRITE selectBand)
    Q_PROPERTY(int bandColorIndex READ bandColorIndex WRITE setBandColorIndex)

public:
    // Bands a gauge can hold; selectBand clamps to 0 .. kMaxBands - 1.
    static constexpr int kMaxBands = 16;
    // Most unlabelled ticks between two labelled ones.
    static constexpr int kMaxMinorTicks = 9;

    explicit LinearGauge(QWidget* parent = nullptr);
    ~LinearGauge() override;

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    double pointerValue() const { return value_; }
    void setPointerValue(double value);

    double scaleMinimum() const { return scaleMin_; }
    double scaleMaximum() const { return scaleMax_; }
    void setScaleMinimum(double minimum);
    void setScaleMaximum(double maximum);
    void setScaleRange(double minimum, double maximum);

    double labelStart() const { return labelStart_; }
    double labelEnd() const { return labelEnd_; }
    void setLabelStart(double start);
    void setLabelEnd(double end);
    void setLabelRange(double start, double end);

    // Distance between labelled ticks; 0 or less draws none.
    double divisionStep() const { return step_; }
    void setDivisionStep(double step);

    // Unlabelled ticks drawn between two labelled ones, clamped to 0 .. kMaxMinorTicks.
    int minorTicks() const { return minorTicks_; }
    void setMinorTicks(int count);

    QList<GaugeBand> bands() const { return bands_; }
    void setBands(const QList<GaugeBand>& bands);  // keeps at most kMaxBands

    // The band that setBandColorIndex, setBandLower and setBandUpper write. Selecting past the
    // end of the list adds nothing by itself; the first write to such a band appends empty
    // black bands (0..0, drawn as nothing) up to it.
    int selectedBand() const { return selectedBand_; }
    void selectBand(int index);

    // The selected band's colour as an index into the band palette (0 black, 1 red, 2 amber,
    // 3 green, 4 blue, 5 white); -1 when that band does not exist or has another colour.
    // An index outside the palette changes nothing.
    int bandColorIndex() const;
    void setBandColorIndex(int index);

    void setBandLower(double value);
    void setBandUpper(double value);

    // Index of the band under the pointer for this reading (clamped to the scale as the
    // pointer is), -1 when no band covers it, the reading is NaN or the scale is empty.
    int bandIndexAt(double value) const;

    // Labelled tick values and their texts, in scale order.
    QList<double> tickValues() const;
    QStringList tickLabels() const;

    bool scaleIsValid() const;
    // Where the scale runs in widget coordinates: bottom() is the minimum, top() the maximum.
    QRectF scaleRect() const;
    // Vertical widget coordinate of a reading, clamped to the scale; NaN for NaN or an empty
    // scale.
    double valueToY(double value) const;

    // Spoken value: the reading to four significant digits, "below scale" / "above scale" when
    // the pointer is clamped, "no reading" for NaN.
    QString valueText() const override;
    Role accessibleRole() const override { return Role::Level; }
    QString captionName() const override { return caption_; }
    QVariant reading() const override { return value_; }
    QVariant readingMinimum() const override { return scaleMin_; }
    QVariant readingMaximum() const override { return scaleMax_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void pointerValueChanged(double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void forgetLayout() override;
    void paintKept(QPainter& p) const override;

private:
    struct Layout;
    const Layout& layout() const;
    Layout computeLayout() const;
    void paintFace(QPainter& p) const;
    void paintScale(QPainter& p) const;
    void paintPointer(QPainter& p) const;
    GaugeBand* writableSelectedBand();

    QString caption_;
    double value_ = 0.0;
    double scaleMin_ = 0.0;
    double scaleMax_ = 100.0;
    double labelStart_ = 0.0;
    double labelEnd_ = 100.0;
    double step_ = 10.0;
    int minorTicks_ = 0;
    QList<GaugeBand> bands_;
    int selectedBand_ = 0;
    mutable std::unique_ptr<Layout> layout_;
};

}  // namespace ignivex
