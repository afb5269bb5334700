#pragma once

#include "analysis/Span.h"
#include "formula/FormulaChannels.h"
#include "series/RecordingLoader.h"

#include <QObject>
#include <memory>
#include <optional>
#include <utility>

namespace ignivex::chart {

// What the review shows: the recording, the overlay and how far it is moved, cursor A, cursor B,
// the view, and the playback's speed and whether it runs. The review's window, its strips, its
// statistics, the panel's replay and the tool windows all read it here and follow its signals.
// Each setter keeps its value within the recording and signals only when the value changed;
// it says whether it did.
class ReviewState : public QObject {
    Q_OBJECT
public:
    // The narrowest view, unless the recording is shorter.
    static constexpr double kMinSpan = 1.0;

    explicit ReviewState(QObject* parent = nullptr);

    const std::shared_ptr<const LoadedRecording>& recording() const { return recording_; }
    // The recording as it was given, without the channels by formula.
    const std::shared_ptr<const LoadedRecording>& plainRecording() const { return plain_; }
    // A new recording comes with the cursor at its start, no cursor B and the whole of it in
    // view; recordingChanged stands for those too. Without one the rest stays as it was.
    bool setRecording(std::shared_ptr<const LoadedRecording> recording);
    // The recording with one channel more (a value a row, computed from others), after its
    // channels; the view, the cursors and the overlay stay. Nothing without a recording.
    bool addChannel(record::ChannelInfo channel, std::vector<float> values);

    // Channels by formula, computed over the recording and the overlay (and any recording
    // shown later) after the channels they have. Where one cannot be computed nothing changes
    // and the first problem is returned; channelsChanged follows a change.
    const std::vector<formula::Definition>& formulas() const { return formulas_; }
    std::optional<QString> setFormulas(std::vector<formula::Definition> definitions);
    // A recording that would not take the channels by formula is shown without them; why.
    const QString& formulaProblem() const { return formulaProblem_; }

    // The named filters and the one applied to the figures, the tools and the exports (-1 for
    // none). A condition that cannot be read is refused with its problem; filterChanged follows.
    const std::vector<formula::Filter>& filters() const { return filters_; }
    int activeFilter() const { return active_; }
    QString activeFilterName() const {
        return active_ >= 0 ? filters_[std::size_t(active_)].name : QString();
    }
    std::optional<QString> setFilters(std::vector<formula::Filter> filters, int active);
    // The recording's rows the filter lets through; nullptr while none applies.
    const std::shared_ptr<const analysis::RowsPassing>& passing() const { return passing_; }
    // A span of the recording, through the filter.
    analysis::Span span(double from, double to) const { return {from, to, passing_}; }
    // The stretches of time the filter leaves out, for the strips to shade.
    std::vector<Gap> leftOut() const;

    const std::shared_ptr<const LoadedRecording>& overlay() const { return overlay_; }
    double overlayShift() const { return overlayShift_; }
    // nullptr: none (its shift is then 0). A shift that is not finite is refused.
    bool setOverlay(std::shared_ptr<const LoadedRecording> overlay, double shift);
    // Moves the overlay's times by `shift` seconds; nothing without an overlay.
    bool setOverlayShift(double shift);

    double cursor() const { return cursor_; }
    // Kept within the recording; a cursor outside the view pages the view on (while playing, the
    // cursor stays in sight), even when the cursor itself is where it was.
    bool setCursor(double t);
    std::optional<double> cursorB() const { return cursorB_; }
    bool setCursorB(std::optional<double> t);

    double viewStart() const { return t0_; }
    double viewEnd() const { return t1_; }
    // At least kMinSpan wide (or the whole recording), at most the recording, and within it.
    bool setView(double t0, double t1);
    // The whole recording, at least kMinSpan wide.
    bool viewAll();
    // The span the statistics and the exports cover: between the cursors, or the view.
    std::pair<double, double> statisticsSpan() const;

    int speed() const { return speed_; }
    bool setSpeed(int speed);
    bool playing() const { return playing_; }
    // Playing needs a recording.
    bool setPlaying(bool playing);

signals:
    void recordingChanged();
    void channelsChanged();  // the same rows, with channels added or taken away
    void filterChanged();
    void overlayChanged();
    void cursorChanged(double t);
    void cursorBChanged();
    void viewChanged(double t0, double t1);
    void speedChanged(int speed);
    void playingChanged(bool playing);

private:
    // The recording (or overlay) as given, with the channels by formula.
    std::shared_ptr<const LoadedRecording> computed(const std::shared_ptr<const LoadedRecording>& plain,
                                                    const std::vector<formula::Definition>& defs,
                                                    QString* problem) const;
    // The filter's verdict on the recording's rows, or the condition's problem.
    static std::optional<QString> filterRows(const LoadedRecording* recording,
                                             const std::vector<formula::Filter>& filters,
                                             int active,
                                             std::shared_ptr<const analysis::RowsPassing>* out);

    std::shared_ptr<const LoadedRecording> plain_, plainOverlay_;
    std::shared_ptr<const LoadedRecording> recording_;
    std::shared_ptr<const LoadedRecording> overlay_;
    std::vector<formula::Definition> formulas_;
    QString formulaProblem_;
    std::vector<formula::Filter> filters_;
    int active_ = -1;
    std::shared_ptr<const analysis::RowsPassing> passing_;
    double overlayShift_ = 0;
    double cursor_ = 0;
    std::optional<double> cursorB_;
    double t0_ = 0, t1_ = 0;
    int speed_ = 1;
    bool playing_ = false;
};

}  // namespace ignivex::chart
