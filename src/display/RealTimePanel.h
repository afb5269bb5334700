#pragma once

#include "acquire/Sample.h"
#include "display/DialGauge.h"
#include "display/LampShape.h"
#include "display/LinearGauge.h"
#include "display/RecordingIndicator.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace ignivex {

// "KLAV Real Time Data": the five gauges side by side along the top, the input lamps below on
// the left and the Close button, on black. Every control sits at its designed place; nothing
// moves or resizes at run time.
class RealTimePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit RealTimePanel(QWidget* parent = nullptr);

    // "###0": a whole number, halves away from zero, no separators.
    static QString formatRpm(float rpm);

    // The panel is designed a few pixels larger than the window's client area: its border is
    // drawn inside the part that shows, and its caption sits inset on the top edge.
    static constexpr int kCaptionInset = 8;

    // A read of the polling tick has ended: its value goes to its gauge or lamps. The GPI3
    // analogue gauge follows the battery read, not its own.
    void showReading(ignivex::Channel channel, float value, const ignivex::Sample& sample);
    // The link is lost: every value to 0, every lamp red.
    void showLinkLost();

    LinearGauge* gauMAP;
    DialGauge* gauTach;
    LinearGauge* gauAdv;
    LinearGauge* gauGPI3A;
    LinearGauge* gauBatVolts;
    QLabel* lblInputs;
    QGroupBox* Frame1;
    QLabel* lblGPI1;
    QLabel* lblGPI2;
    QLabel* lblGPI3;
    LampShape* shpLED_GPI1;
    LampShape* shpLED_GPI2;
    LampShape* shpLED_GPI3;
    QPushButton* cmdCloseRealTimeData;
    // In the empty lower-right corner, shown while a recording runs.
    RecordingIndicator* recordingIndicator;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ignivex
