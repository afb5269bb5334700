#pragma once

#include "dashboard/TileFace.h"

#include <QStringList>
#include <QWidget>

namespace ignivex::dash {

// The band across the dashboard that lists the alarms firing; hidden while none is.
class AlarmStrip : public QWidget {
    Q_OBJECT
public:
    explicit AlarmStrip(QWidget* parent = nullptr);
    void setAlarms(const QStringList& texts);
    const QStringList& alarms() const { return texts_; }
    void setFlashOn(bool on);
    void setColours(const Colours& colours);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList texts_;
    bool flashOn_ = false;
    Colours colours_ = Colours::day();
};

}  // namespace ignivex::dash
