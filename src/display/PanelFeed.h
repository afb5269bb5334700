#pragma once

#include "acquire/Acquisition.h"

#include <QObject>

namespace ignivex {

class RealTimePanel;

// The panel's one way in: carries each value the acquisition core reads to the panel, and the
// values a replay shows of a recorded row. At the view's own pace every tick is shown as it is
// read. When ticks come faster than the eye can follow (a recording at a high rate), whole
// ticks are passed over so the gauges repaint at most about 30 times a second; the recording
// still gets every tick. A lost link is always shown.
class PanelFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinFrameMs = 33;

    PanelFeed(Acquisition& acquisition, RealTimePanel& panel, QObject* parent = nullptr);

    // Show every tick (false), or at most one tick per kMinFrameMs (true).
    void setThrottled(bool throttled) { throttled_ = throttled; }
    bool throttled() const { return throttled_; }

    // A value as the tick gives it (Acquisition::channelRead): shown unless its tick is passed
    // over. Outside a tick (a replay's rows, between ticks) every value is shown.
    void showReading(Channel channel, float value, const Sample& sample);
    // The input read failed: the panel zeroes its values.
    void showLinkLost();

private:
    RealTimePanel& panel_;
    bool throttled_ = false;
    bool showingTick_ = true;
    Instant lastShown_{};
};

}  // namespace ignivex
