#pragma once

#include "display/GaugeSupport.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace ignivex {

// Indicator lamp: a circle filled with one solid colour, as large as the widget's shorter side
// allows, centred. A thin grey rim keeps a black lamp findable on the black panel. Starts
// green (0, 255, 0).
//
// Changing the colour repaints, tells assistive technology and emits fillColorChanged; writing
// the colour it already has does none of that. Accessible name: accessibleName(), else objectName; accessible value:
// valueText(), the colour as a word ("red", "black", "green") or "#rrggbb".
class LampShape : public QWidget, public gauge::Described {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor NOTIFY fillColorChanged)

public:
    explicit LampShape(QWidget* parent = nullptr);

    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor& color);

    QString valueText() const override;
    Role accessibleRole() const override { return Role::Indicator; }

    // The colour around the drawing (the panel it stands on). Once set, the widget paints its
    // whole rectangle itself, so a new reading does not repaint the panel behind it.
    void setSurroundColor(const QColor& color);

    QSize sizeHint() const override;

signals:
    void fillColorChanged(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_{0, 255, 0};
    QColor surround_;
};

}  // namespace ignivex
