#include "watch/StartTrigger.h"

#include <cmath>

namespace ignivex::watch {

namespace {
constexpr double kTimeRoom = 1e-9;
}

StartTrigger::StartTrigger(TriggerSettings settings)
    : settings_(std::move(settings)),
      limit_(std::size_t(std::ceil(settings_.keepBeforeSeconds * kMostRowsPerSecond)) + 1) {}

void StartTrigger::hold(const HeldRow& row, double elapsed) {
    // The rows of the seconds before this one are all a later trigger can want.
    while (!held_.empty() && held_.front().first + settings_.keepBeforeSeconds + kTimeRoom < elapsed)
        held_.pop_front();
    if (settings_.keepBeforeSeconds <= 0)
        return;
    if (held_.size() >= limit_)
        held_.pop_front();
    held_.emplace_back(elapsed, row);
}

StartTrigger::Step StartTrigger::take(const HeldRow& row, double elapsed, Verdict verdict) {
    Step step;
    if (state_ == State::Armed) {
        if (verdict != Verdict::True) {
            hold(row, elapsed);
            return step;
        }
        // The rows before it, within the seconds asked for, with their own times.
        for (auto& [t, held] : held_) {
            if (t + settings_.keepBeforeSeconds + kTimeRoom >= elapsed)
                step.begin.push_back(std::move(held));
        }
        held_.clear();
        state_ = State::Recording;
        falseSince_.reset();
        step.starts = step.write = true;
        return step;
    }
    if (verdict != Verdict::False) {
        falseSince_.reset();
        step.write = true;
        return step;
    }
    if (!falseSince_)
        falseSince_ = elapsed;
    if (elapsed - *falseSince_ + kTimeRoom < settings_.stopAfterSeconds) {
        step.write = true;
        return step;
    }
    state_ = State::Armed;
    falseSince_.reset();
    step.ends = true;
    hold(row, elapsed);
    return step;
}

}  // namespace ignivex::watch
