#include "chart/PanelReplay.h"

#include "acquire/Acquisition.h"
#include "chart/ReplayFrame.h"
#include "chart/ReplayIndicator.h"
#include "display/PanelScales.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "base/Module1.h"

#include <QPushButton>
#include <QRegularExpression>

namespace ignivex::chart {

PanelReplay::PanelReplay(RealTimePanel& panel, RealTimeView& view, Acquisition& acquisition,
                         Module1& state, QObject* parent)
    : QObject(parent), panel_(panel), acquisition_(acquisition), state_(state),
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
        panel_.showLinkLost();
    const Sample& s = frame.sample;
    // The order and the calls of a polling tick.
    if (s.gpiBits)
        panel_.showReading(Channel::Inputs, s.gpi3Analog.value_or(0), s);
    if (s.map)
        panel_.showReading(Channel::Map, *s.map, s);
    if (s.battery)
        panel_.showReading(Channel::Battery, *s.battery, s);
    if (s.rpm)
        panel_.showReading(Channel::Rpm, *s.rpm, s);
    if (s.advance)
        panel_.showReading(Channel::Advance, *s.advance, s);
}

void PanelReplay::setState(const QString& file, bool playing, int speed, const QString& position) {
    indicator_->setState(file, playing, speed, position);
}

void PanelReplay::end() {
    if (!active_)
        return;
    active_ = false;
    indicator_->hide();
    if (state_.viewActive)
        layOutMapGauge(*panel_.gauMAP, state_.mapRangeCode);
    else
        panel_.hide();
    acquisition_.setPaused(false);
    emit ended();
}

std::optional<std::int16_t> rangeCodeOf(const QList<std::pair<QString, QString>>& details) {
    static const QRegularExpression leadingDigit(QStringLiteral("^\\s*([0-3])\\b"));
    for (const auto& [key, value] : details) {
        if (key != QLatin1String("map range"))
            continue;
        const QRegularExpressionMatch m = leadingDigit.match(value);
        if (m.hasMatch())
            return std::int16_t(m.captured(1).toInt());
    }
    return std::nullopt;
}

}  // namespace ignivex::chart
