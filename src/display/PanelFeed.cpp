#include "display/PanelFeed.h"

#include "display/RealTimePanel.h"

namespace ignivex {

PanelFeed::PanelFeed(Acquisition& acquisition, RealTimePanel& panel, QObject* parent)
    : QObject(parent), panel_(panel) {
    connect(&acquisition, &Acquisition::channelRead, this, &PanelFeed::showReading);
    connect(&acquisition, &Acquisition::linkLost, this, &PanelFeed::showLinkLost);
    // A tick passed over is over at its end: what comes before the next one is shown.
    connect(&acquisition, &Acquisition::sampleReady, this, [this] { showingTick_ = true; });
}

void PanelFeed::showReading(Channel channel, float value, const Sample& sample) {
    // A tick is shown whole or not at all: decided at its first read.
    if (channel == Channel::Inputs) {
        showingTick_ =
            !throttled_ || sample.monotonic - lastShown_ >= std::chrono::milliseconds(kMinFrameMs);
        if (showingTick_)
            lastShown_ = sample.monotonic;
    }
    if (showingTick_)
        panel_.showReading(channel, value, sample);
}

void PanelFeed::showLinkLost() {
    panel_.showLinkLost();
}

}  // namespace ignivex
