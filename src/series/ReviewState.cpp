#include "series/ReviewState.h"

#include <algorithm>
#include <cmath>

namespace ignivex::chart {

ReviewState::ReviewState(QObject* parent) : QObject(parent) {}

bool ReviewState::setRecording(std::shared_ptr<const LoadedRecording> recording) {
    if (recording == plain_)
        return false;
    plain_ = std::move(recording);
    formulaProblem_.clear();
    recording_ = computed(plain_, formulas_, &formulaProblem_);
    if (!formulaProblem_.isEmpty())
        recording_ = plain_;
    // A filter that cannot be read over this recording applies to none of its rows.
    if (filterRows(recording_.get(), filters_, active_, &passing_))
        passing_.reset();
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
    if (!plain_)
        return false;
    auto next = std::make_shared<LoadedRecording>(*plain_);
    next->chart = withChannel(*plain_->chart, std::move(channel), std::move(values));
    plain_ = std::move(next);
    QString problem;
    recording_ = computed(plain_, formulas_, &problem);
    if (!problem.isEmpty())
        recording_ = plain_;
    emit channelsChanged();
    return true;
}

std::shared_ptr<const LoadedRecording> ReviewState::computed(
    const std::shared_ptr<const LoadedRecording>& plain,
    const std::vector<formula::Definition>& defs, QString* problem) const {
    if (!plain || defs.empty())
        return plain;
    record::Table table = plain->chart->table;
    if (const auto why = formula::addChannels(table, defs)) {
        *problem = *why;
        return nullptr;
    }
    std::shared_ptr<const ChartData> data = plain->chart;
    for (ChannelId c = data->table.channelCount(); c < table.channelCount(); ++c)
        data = withChannel(*data, table.channel(c), table.column(c));
    auto out = std::make_shared<LoadedRecording>(*plain);
    out->chart = std::move(data);
    return out;
}

std::optional<QString> ReviewState::setFormulas(std::vector<formula::Definition> definitions) {
    if (definitions == formulas_)
        return std::nullopt;
    QString problem;
    auto recording = computed(plain_, definitions, &problem);
    std::vector<std::shared_ptr<const LoadedRecording>> overlays;
    for (const Overlay& o : overlays_)
        overlays.push_back(computed(o.plain, definitions, &problem));
    if (!problem.isEmpty())
        return problem;
    // A filter may read a channel by formula that is now gone.
    std::shared_ptr<const analysis::RowsPassing> passing;
    const auto filterProblem = filterRows(recording.get(), filters_, active_, &passing);
    formulas_ = std::move(definitions);
    formulaProblem_.clear();
    recording_ = std::move(recording);
    for (std::size_t i = 0; i < overlays.size(); ++i)
        overlays_[i].recording = std::move(overlays[i]);
    const bool filterMoved = passing != passing_ || filterProblem;
    if (filterProblem)
        active_ = -1;
    passing_ = filterProblem ? nullptr : passing;
    filterOverlays();
    if (recording_)
        emit channelsChanged();
    if (!overlays_.empty())
        emit overlayChanged();
    if (filterMoved)
        emit filterChanged();
    return std::nullopt;
}

bool ReviewState::setMapUnit(const QString& unit) {
    if (unit == mapUnit_)
        return false;
    mapUnit_ = unit;
    if (recording_)
        emit channelsChanged();
    return true;
}

std::optional<QString> ReviewState::filterRows(
    const LoadedRecording* recording, const std::vector<formula::Filter>& filters, int active,
    std::shared_ptr<const analysis::RowsPassing>* out) {
    out->reset();
    if (active < 0 || std::size_t(active) >= filters.size() || !recording)
        return std::nullopt;
    formula::Problem problem;
    auto rows = formula::rowsPassing(recording->chart->table, filters[std::size_t(active)],
                                     &problem);
    if (!rows)
        return QStringLiteral("%1: %2").arg(filters[std::size_t(active)].name, problem.message);
    *out = std::make_shared<const analysis::RowsPassing>(std::move(*rows));
    return std::nullopt;
}

std::optional<QString> ReviewState::setFilters(std::vector<formula::Filter> filters, int active) {
    if (active >= int(filters.size()))
        active = -1;
    std::shared_ptr<const analysis::RowsPassing> passing;
    if (const auto problem = filterRows(recording_.get(), filters, active, &passing))
        return problem;
    if (filters == filters_ && active == active_)
        return std::nullopt;
    filters_ = std::move(filters);
    active_ = std::max(active, -1);
    passing_ = std::move(passing);
    filterOverlays();
    emit filterChanged();
    return std::nullopt;
}

std::vector<Gap> ReviewState::leftOut() const {
    std::vector<Gap> out;
    if (!passing_ || !recording_)
        return out;
    const auto& t = recording_->chart->table.elapsed;
    const auto& p = *passing_;
    // A stretch runs from its first row left out to the next row that passes.
    for (std::size_t i = 0; i < p.size() && i < t.size();) {
        if (p[i]) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        while (i < p.size() && !p[i])
            ++i;
        out.push_back({t[first], i < t.size() ? t[i] : t.back()});
    }
    return out;
}

const std::shared_ptr<const LoadedRecording>& ReviewState::overlay(int index) const {
    static const std::shared_ptr<const LoadedRecording> none;
    return index >= 0 && index < overlayCount() ? overlays_[std::size_t(index)].recording : none;
}

double ReviewState::overlayShift(int index) const {
    return index >= 0 && index < overlayCount() ? overlays_[std::size_t(index)].shift : 0.0;
}

analysis::Span ReviewState::overlaySpan(int index, double from, double to) const {
    const double shift = overlayShift(index);
    if (index < 0 || index >= overlayCount())
        return {from - shift, to - shift, nullptr};
    return {from - shift, to - shift, overlays_[std::size_t(index)].passing};
}

void ReviewState::filterOverlays() {
    for (Overlay& o : overlays_) {
        if (filterRows(o.recording.get(), filters_, active_, &o.passing))
            o.passing = std::make_shared<const analysis::RowsPassing>(
                o.recording->chart->table.elapsed.size(), false);
    }
}

bool ReviewState::setOverlay(std::shared_ptr<const LoadedRecording> overlay, double shift) {
    if (!std::isfinite(shift))
        return false;
    if (!overlay) {
        if (overlays_.empty())
            return false;
        overlays_.clear();
        currentOverlay_ = 0;
        emit overlayChanged();
        return true;
    }
    if (overlays_.size() == 1 && overlays_.front().plain == overlay)
        return setOverlayShift(0, shift);
    overlays_.clear();
    return addOverlay(std::move(overlay), shift);
}

bool ReviewState::addOverlay(std::shared_ptr<const LoadedRecording> overlay, double shift) {
    if (!overlay || !std::isfinite(shift) || overlayCount() >= kMostOverlays)
        return false;
    QString problem;
    auto recording = computed(overlay, formulas_, &problem);
    // An overlay that will not take the channels by formula is compared on the module's.
    if (!problem.isEmpty())
        recording = overlay;
    overlays_.push_back({std::move(overlay), std::move(recording), shift, nullptr});
    currentOverlay_ = overlayCount() - 1;
    filterOverlays();
    emit overlayChanged();
    return true;
}

bool ReviewState::removeOverlay(int index) {
    if (index < 0 || index >= overlayCount())
        return false;
    overlays_.erase(overlays_.begin() + index);
    if (currentOverlay_ >= overlayCount())
        currentOverlay_ = std::max(0, overlayCount() - 1);
    emit overlayChanged();
    return true;
}

bool ReviewState::setOverlayShift(int index, double shift) {
    if (index < 0 || index >= overlayCount() || !std::isfinite(shift) ||
        overlays_[std::size_t(index)].shift == shift)
        return false;
    overlays_[std::size_t(index)].shift = shift;
    emit overlayChanged();
    return true;
}

bool ReviewState::setCurrentOverlay(int index) {
    if (index < 0 || index >= overlayCount() || index == currentOverlay_)
        return false;
    currentOverlay_ = index;
    emit overlayChanged();
    return true;
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
