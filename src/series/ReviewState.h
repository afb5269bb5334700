#pragma once

#include "analysis/Span.h"
#include "formula/FormulaChannels.h"
#include "series/RecordingLoader.h"

#include <QObject>
#include <memory>
#include <optional>
#include <utility>

namespace ignivex::chart {

// What the review shows: the recording, up to three overlays and how far each is moved, cursor
// A, cursor B,
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
    // The unit the user says the module's MAP is in (the module names none); empty while none
    // is said. It follows MAP's name where MAP is labelled.
    const QString& mapUnit() const { return mapUnit_; }
    bool setMapUnit(const QString& unit);
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

    // Four recordings compared at most: the recording and three overlays.
    static constexpr int kMostOverlays = 3;
    int overlayCount() const { return int(overlays_.size()); }
    // Overlay `index` (nullptr past the last), and how far its times are moved.
    const std::shared_ptr<const LoadedRecording>& overlay(int index = 0) const;
    double overlayShift(int index = 0) const;
    // A span of the recording's time [from, to] as overlay `index`'s own times, through the
    // filter as it reads that overlay's rows (a condition it cannot read there lets none pass).
    analysis::Span overlaySpan(int index, double from, double to) const;
    // The one overlay, in place of all there are; nullptr: none. A shift that is not finite is
    // refused.
    bool setOverlay(std::shared_ptr<const LoadedRecording> overlay, double shift);
    // One more overlay, after the others; refused when there are kMostOverlays already. It
    // becomes the current one.
    bool addOverlay(std::shared_ptr<const LoadedRecording> overlay, double shift);
    bool removeOverlay(int index);
    // Moves overlay `index`'s times by `shift` seconds; nothing without it.
    bool setOverlayShift(int index, double shift);
    bool setOverlayShift(double shift) { return setOverlayShift(currentOverlay_, shift); }
    // The overlay the window's shift, align and close commands act on (0 without overlays).
    int currentOverlay() const { return currentOverlay_; }
    bool setCurrentOverlay(int index);

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
    void overlayChanged();  // an overlay came, went or moved, or the current one changed
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

    struct Overlay {
        std::shared_ptr<const LoadedRecording> plain, recording;
        double shift = 0;
        std::shared_ptr<const analysis::RowsPassing> passing;
    };
    // Each overlay's rows through the active filter.
    void filterOverlays();

    std::shared_ptr<const LoadedRecording> plain_;
    std::shared_ptr<const LoadedRecording> recording_;
    std::vector<Overlay> overlays_;
    int currentOverlay_ = 0;
    std::vector<formula::Definition> formulas_;
    QString formulaProblem_;
    QString mapUnit_;
    std::vector<formula::Filter> filters_;
    int active_ = -1;
    std::shared_ptr<const analysis::RowsPassing> passing_;
    double cursor_ = 0;
    std::optional<double> cursorB_;
    double t0_ = 0, t1_ = 0;
    int speed_ = 1;
    bool playing_ = false;
};

}  // namespace ignivex::chart
