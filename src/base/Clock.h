#pragma once

#include <chrono>
#include <memory>

class QSocketNotifier;

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

// The monotonic clock of the machine. Its pause sleeps in the event loop and is woken by a
// kernel timer to the microsecond where the system has one (the event loop's own timers count
// whole milliseconds, which would stretch every 2 ms pause by a tenth): a timerfd on Linux, a
// high-resolution waitable timer on Windows (a plain one where the system has none finer).
class SteadyClock final : public Clock {
public:
    SteadyClock();
    ~SteadyClock() override;
    SteadyClock(const SteadyClock&) = delete;
    SteadyClock& operator=(const SteadyClock&) = delete;

    Instant now() const override;
    void pauseUntil(Instant until) override;

private:
    bool sleepOnKernelTimer(Instant until);

#ifdef _WIN32
    void* timer_ = nullptr;  // the waitable timer's HANDLE, made at the first pause
#else
    int timer_ = -1;  // made at the first pause, kept for the next
    std::unique_ptr<QSocketNotifier> woken_;
#endif
    bool fired_ = false;
    bool pausing_ = false;
};

}  // namespace ignivex
