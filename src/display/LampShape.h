#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace ignivex {

// Indicator lamp: a circle filled with one solid colour, as large as the widget's shorter side
// allows, centred. A thin grey rim keeps a black lamp findable on the black panel. Starts
// green (0, 255, 0).
//
// Changing the colour repaints and tells assistive technology; writing the colour it already
// has does neither. Accessible name: accessibleName(), else objectName; accessible value:
// valueText(), the colour as a word ("red", "black", "green") or "#rrggbb".
class LampShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)

public:
    explicit LampShape(QWidget *parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &color);

    QString valueText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill{0, 255, 0};
};

}  // namespace ignivex
