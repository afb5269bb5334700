#pragma once

#include "acquire/Sample.h"
#include "watch/Conditions.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace ignivex::watch {

// When a recording starts itself: on the first row where `condition` is true, with the rows
// of the `keepBeforeSeconds` before it; it stops on the first row `stopAfterSeconds` after
// the condition turned false (that row and those after it are not the stretch's).
struct TriggerSettings {
    QString condition;
    double keepBeforeSeconds = 5;
    double stopAfterSeconds = 3;
    bool operator==(const TriggerSettings&) const = default;
};

inline constexpr double kLongestKeepBeforeSeconds = 600;
inline constexpr double kLongestStopAfterSeconds = 3600;

// The most rows a second a run gives: each of a tick's reads pauses 2 ms, and a tick reads
// four channels at the least (no MAP sensor), so none is shorter than 8 ms. The rows kept
// from before a trigger are bounded by it, however long the wait and whatever the ticks do.
inline constexpr int kMostRowsPerSecond = 125;

// A row as the trigger holds it: the sample and the marks made for it.
struct HeldRow {
    Sample sample;
    QStringList marks;
};

// The trigger's state machine over the rows' own times, without a file: armed, it holds the
// rows of the seconds before; on the condition it hands them over and records; some seconds
// after the condition turned false it stops and is armed again. A row where the condition is
// empty (a lost link) neither starts nor stops a stretch, and the seconds toward a stop
// count again from the next false row: the stretch goes on through a gap.
class StartTrigger {
public:
    enum class State { Armed, Recording };
    struct Step {
        std::vector<HeldRow> begin;  // a stretch begins: its rows from before, oldest first
        bool starts = false;         // the row is the first after the trigger
        bool write = false;          // the row is the stretch's
        bool ends = false;           // the stretch ended before this row
    };

    explicit StartTrigger(TriggerSettings settings);
    const TriggerSettings& settings() const { return settings_; }
    State state() const { return state_; }
    // The row at `elapsed` seconds with its verdict and marks: what to do with it.
    Step take(const HeldRow& row, double elapsed, Verdict verdict);
    // The most rows held from before a trigger.
    std::size_t heldLimit() const { return limit_; }
    std::size_t held() const { return held_.size(); }

private:
    void hold(const HeldRow& row, double elapsed);

    TriggerSettings settings_;
    std::size_t limit_;
    State state_ = State::Armed;
    std::deque<std::pair<double, HeldRow>> held_;
    std::optional<double> falseSince_;
};

}  // namespace ignivex::watch
