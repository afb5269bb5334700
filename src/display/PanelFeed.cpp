#include "display/PanelFeed.h"

#include "display/RealTimePanel.h"

namespace ignivex {

PanelFeed::PanelFeed(Acquisition& acquisition, RealTimePanel& panel, QObject* parent)
    : QObject(parent), panel_(panel) {
    connect(&acquisition, &Acquisition::channelRead, this, &PanelFeed::onChannelRead);
    connect(&acquisition, &Acquisition::linkLost, &panel_, &RealTimePanel::showLinkLost);
}

void PanelFeed::onChannelRead(Channel channel, float value, const Sample& sample) {
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

}  // namespace ignivex
