#pragma once

#include <chrono>

namespace ignivex {

using Instant = std::chrono::steady_clock::time_point;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// Every deadline of the tool is measured on this clock, never on the time of day. Tests put a
// fake clock here so that a one-second time-out takes no time at all.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;
    // Lets window events run until `until` has passed, sleeping in between: no spinning.
    virtual void pauseUntil(Instant until) = 0;
};

// The monotonic clock of the machine, with a nested event loop for the pause.
class SteadyClock final : public Clock {
public:
    Instant now() const override;
    void pauseUntil(Instant until) override;
};

}  // namespace ignivex
