#pragma once

#include "base/Clock.h"

namespace ignivex::test {

// A clock that moves only when told to, or when something waits on it: a one-second
// time-out costs no real time.
class FakeClock : public Clock {
public:
    Instant now() const override { return now_; }
    // Lets pending window events run once, then jumps to `until`.
    void pauseUntil(Instant until) override;
    void advance(std::chrono::nanoseconds by) { now_ += by; }
    void advanceTo(Instant until) {
        if (until > now_)
            now_ = until;
    }
    int pauses = 0;

private:
    Instant now_ = Instant(std::chrono::hours(1));
};

}  // namespace ignivex::test
