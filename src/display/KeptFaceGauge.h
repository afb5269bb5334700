#pragma once

#include "display/GaugeSupport.h"

#include <QWidget>

namespace ignivex {

// What the two gauges share: their layout (fonts, texts, positions) and their painted face are
// kept between repaints and dropped when the size, a setting, the font or the palette changes.
// A new reading then repaints only what moves, over the kept face.
class KeptFaceGauge : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    // A setting that changes how the gauge looks (caption, scale, labels, bands, arcs) changed.
    void appearanceChanged();

protected:
    // For a changed setting: drop what is kept, repaint, and say so.
    void appearanceChange();
    // Draws the kept face at the widget's origin, painting it first with paintKept when stale.
    void drawKeptFace(QPainter& painter);

    // The gauge's own parts of this: forget its computed layout; paint what does not move.
    virtual void forgetLayout() = 0;
    virtual void paintKept(QPainter& painter) const = 0;

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void forget();

    gauge::FaceCache face_;
};

}  // namespace ignivex
