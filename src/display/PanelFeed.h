#pragma once

#include "acquire/Acquisition.h"

#include <QObject>

namespace ignivex {

class RealTimePanel;

// Carries each value the acquisition core reads to the panel. At the view's own pace every
// tick is shown as it is read. When ticks come faster than the eye can follow (a recording at
// a high rate), whole ticks are passed over so the gauges repaint at most about 30 times a
// second; the recording still gets every tick. A lost link is always shown.
class PanelFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinFrameMs = 33;

    PanelFeed(Acquisition& acquisition, RealTimePanel& panel, QObject* parent = nullptr);

    // Show every tick (false), or at most one tick per kMinFrameMs (true).
    void setThrottled(bool throttled) { throttled_ = throttled; }
    bool throttled() const { return throttled_; }

private:
    void onChannelRead(Channel channel, float value, const Sample& sample);

    RealTimePanel& panel_;
    bool throttled_ = false;
    bool showingTick_ = true;
    Instant lastShown_{};
};

}  // namespace ignivex
