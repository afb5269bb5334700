#pragma once

#include "dashboard/TileFace.h"

#include <QPixmap>
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
    // Pictures painted, and values that changed: for the benchmark's count of samples drawn.
    // A value replaced by the next before its picture was painted is counted as passed over.
    int paints() const { return paints_; }
    int changes() const { return changes_; }
    int passedOver() const { return passedOver_; }

    QSize sizeHint() const override { return {320, 220}; }
    QSize minimumSizeHint() const override { return {120, 80}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void change(const TileFace& face);

    TileFace face_;
    Colours colours_ = Colours::day();
    // The back painted last, and what it was painted for (the face without its value).
    QPixmap back_;
    std::optional<TileFace> backFace_;
    int paints_ = 0;
    int changes_ = 0;
    int passedOver_ = 0;
    bool pending_ = false;  // a changed value waits for its picture
};

}  // namespace ignivex::dash
