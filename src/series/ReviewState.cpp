#include "series/ReviewState.h"

#include <algorithm>
#include <cmath>

namespace ignivex::chart {

ReviewState::ReviewState(QObject* parent) : QObject(parent) {}

bool ReviewState::setRecording(std::shared_ptr<const LoadedRecording> recording) {
    if (recording == recording_)
        return false;
    recording_ = std::move(recording);
    if (recording_) {
        const ChartData& data = *recording_->chart;
        cursorB_.reset();
        t0_ = data.start();
        t1_ = data.start() + std::max(data.end() - data.start(), kMinSpan);
        cursor_ = data.start();
    }
    emit recordingChanged();
    return true;
}

bool ReviewState::addChannel(record::ChannelInfo channel, std::vector<float> values) {
    if (!recording_)
        return false;
    auto next = std::make_shared<LoadedRecording>(*recording_);
    next->chart = withChannel(*recording_->chart, std::move(channel), std::move(values));
    recording_ = std::move(next);
    emit channelsChanged();
    return true;
}

bool ReviewState::setOverlay(std::shared_ptr<const LoadedRecording> overlay, double shift) {
    if (!std::isfinite(shift))
        return false;
    if (!overlay)
        shift = 0;
    if (overlay == overlay_ && shift == overlayShift_)
        return false;
    overlay_ = std::move(overlay);
    overlayShift_ = shift;
    emit overlayChanged();
    return true;
}

bool ReviewState::setOverlayShift(double shift) {
    if (!overlay_)
        return false;
    return setOverlay(overlay_, shift);
}

bool ReviewState::setCursor(double t) {
    if (!recording_)
        return false;
    const ChartData& data = *recording_->chart;
    const double at = std::clamp(t, data.start(), data.end());
    const bool moved = at != cursor_;
    cursor_ = at;
    const double span = t1_ - t0_;
    if (at > t1_ || at < t0_)
        setView(at - span * 0.05, at + span * 0.95);
    if (moved)
        emit cursorChanged(at);
    return moved;
}

bool ReviewState::setCursorB(std::optional<double> t) {
    if (!recording_)
        return false;
    const ChartData& data = *recording_->chart;
    if (t)
        t = std::clamp(*t, data.start(), data.end());
    if (t == cursorB_)
        return false;
    cursorB_ = t;
    emit cursorBChanged();
    return true;
}

bool ReviewState::setView(double t0, double t1) {
    if (!recording_)
        return false;
    const ChartData& data = *recording_->chart;
    const double whole = std::max(data.end() - data.start(), kMinSpan);
    const double span = std::clamp(t1 - t0, std::min(kMinSpan, whole), whole);
    const double start = std::clamp(t0, data.start(), data.start() + whole - span);
    if (start == t0_ && start + span == t1_)
        return false;
    t0_ = start;
    t1_ = start + span;
    emit viewChanged(t0_, t1_);
    return true;
}

bool ReviewState::viewAll() {
    if (!recording_)
        return false;
    const ChartData& data = *recording_->chart;
    return setView(data.start(), data.start() + std::max(data.end() - data.start(), kMinSpan));
}

std::pair<double, double> ReviewState::statisticsSpan() const {
    if (cursorB_)
        return {std::min(cursor_, *cursorB_), std::max(cursor_, *cursorB_)};
    return {t0_, t1_};
}

bool ReviewState::setSpeed(int speed) {
    if (speed == speed_)
        return false;
    speed_ = speed;
    emit speedChanged(speed_);
    return true;
}

bool ReviewState::setPlaying(bool playing) {
    if (playing == playing_ || (playing && !recording_))
        return false;
    playing_ = playing;
    emit playingChanged(playing_);
    return true;
}

}  // namespace ignivex::chart
