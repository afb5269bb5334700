#pragma once

#include "dashboard/TileFace.h"

#include <QWidget>

namespace ignivex::dash {

// One tile of the dashboard: paints its face, and only when what it shows has changed.
class TileWidget : public QWidget {
    Q_OBJECT
public:
    explicit TileWidget(QWidget* parent = nullptr);

    void setFace(const TileFace& face);
    const TileFace& face() const { return face_; }
    // A new value: repainted only when its text or its place on the scale moves.
    void setValue(std::optional<double> value);
    void setAlarm(const QString& text, bool firing);
    void setFlashOn(bool on);
    void setColours(const Colours& colours);
    // Pictures painted, for the benchmark's count of samples drawn.
    int paints() const { return paints_; }

    QSize sizeHint() const override { return {320, 220}; }
    QSize minimumSizeHint() const override { return {120, 80}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void change(const TileFace& face);

    TileFace face_;
    Colours colours_ = Colours::day();
    int paints_ = 0;
};

}  // namespace ignivex::dash
