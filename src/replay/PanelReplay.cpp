#include "replay/PanelReplay.h"

#include "acquire/Channels.h"

#include "acquire/Acquisition.h"
#include "series/ReplayFrame.h"
#include "replay/ReplayIndicator.h"
#include "display/PanelFeed.h"
#include "display/PanelScales.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"

#include <QPushButton>

namespace ignivex::chart {

PanelReplay::PanelReplay(RealTimePanel& panel, PanelFeed& feed, RealTimeView& view,
                         Acquisition& acquisition, QObject* parent)
    : QObject(parent),
      panel_(panel),
      feed_(feed),
      acquisition_(acquisition),
      indicator_(new ReplayIndicator(&panel)) {
    // Close on the panel closes what it shows, a replay too.
    connect(panel_.cmdCloseRealTimeData, &QPushButton::clicked, this, &PanelReplay::end);
    // An opening of the view meanwhile lays the MAP gauge out for the module: the recording's
    // layout goes back on while the recording drives the panel.
    connect(&view, &RealTimeView::opened, this, [this] {
        if (active_)
            layOutForRecording();
    });
}

void PanelReplay::layOutForRecording() {
    if (rangeCode_)
        layOutMapGauge(*panel_.gauMAP, *rangeCode_);
}

void PanelReplay::begin(std::optional<std::int16_t> rangeCode) {
    rangeCode_ = rangeCode;
    acquisition_.setPaused(true);
    layOutForRecording();
    active_ = true;
    indicator_->show();
    indicator_->raise();
    panel_.show();
}

void PanelReplay::showRow(const ChartData& data, std::size_t row) {
    if (!active_)
        return;
    const ReplayFrame frame = replayFrameAt(data, row);
    if (frame.linkLost)
        feed_.showLinkLost();
    const Sample& s = frame.sample;
    // The order and the calls of a polling tick, through the feed the tick's reads go through.
    for (const ChannelSpec& channel : kChannels) {
        const std::optional<float>& value = s.*channel.value;
        const bool read = channel.bits ? s.gpiBits.has_value() : value.has_value();
        if (read)
            feed_.showReading(channel.channel, value.value_or(0), s);
    }
}

void PanelReplay::setState(const QString& file, bool playing, int speed, const QString& position) {
    indicator_->setState(file, playing, speed, position);
}

void PanelReplay::end() {
    if (!active_)
        return;
    active_ = false;
    indicator_->hide();
    if (acquisition_.polling())
        layOutMapGauge(*panel_.gauMAP, acquisition_.rangeCode());
    else
        panel_.hide();
    acquisition_.setPaused(false);
    emit ended();
}

}  // namespace ignivex::chart
