#include "base/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#if defined(__linux__)
#include <sys/timerfd.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include <windows.h>
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002  // newer than the mingw headers
#endif
#endif

namespace ignivex {

SteadyClock::SteadyClock() = default;

SteadyClock::~SteadyClock() {
#if defined(__linux__)
    woken_.reset();
    if (timer_ >= 0)
        ::close(timer_);
#elif defined(_WIN32)
    if (timer_)
        CloseHandle(timer_);
#endif
}

Instant SteadyClock::now() const {
    return std::chrono::steady_clock::now();
}

bool SteadyClock::sleepOnKernelTimer([[maybe_unused]] Instant until) {
#if defined(__linux__)
    // A pause inside a pause (window events run in one) sleeps on the millisecond timers.
    if (pausing_)
        return false;
    if (timer_ < 0) {
        // The monotonic clock steady_clock reads.
        timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
        if (timer_ < 0)
            return false;
        woken_ = std::make_unique<QSocketNotifier>(timer_, QSocketNotifier::Read);
        QObject::connect(woken_.get(), &QSocketNotifier::activated, [this] {
            std::uint64_t expirations = 0;
            [[maybe_unused]] const ssize_t n = ::read(timer_, &expirations, sizeof expirations);
            fired_ = true;
        });
    }
    const auto since = until.time_since_epoch();
    itimerspec wake{};
    wake.it_value.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    wake.it_value.tv_nsec = (since % std::chrono::seconds(1)).count();
    if (::timerfd_settime(timer_, TFD_TIMER_ABSTIME, &wake, nullptr) != 0)
        return false;
    fired_ = false;
    pausing_ = true;
    while (!fired_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    pausing_ = false;
    return true;
#elif defined(_WIN32)
    if (pausing_)
        return false;
    if (!timer_) {
        // The high-resolution timer (Windows 10 1803 and later) wakes to a fraction of a
        // millisecond; older systems and Wine refuse the flag and get the plain timer, as fine
        // as the system's timer period.
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                        TIMER_ALL_ACCESS);
        if (!timer_)
            timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        if (!timer_)
            return false;
    }
    // Relative, in 100 ns units, counted from now on the same monotonic clock.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - now());
    LARGE_INTEGER due;
    due.QuadPart = -std::max<long long>(1, (left.count() + 99) / 100);
    if (!SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE))
        return false;
    // Sleeps until the timer fires or a window message (Qt posts its own events as one)
    // arrives; window events then run, and the sleep goes on.
    pausing_ = true;
    HANDLE timer = timer_;
    while (MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
           WAIT_OBJECT_0)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    pausing_ = false;
    return true;
#else
    return false;
#endif
}

void SteadyClock::pauseUntil(Instant until) {
    for (;;) {
        const auto left = until - now();
        if (left <= std::chrono::nanoseconds::zero())
            return;
        if (sleepOnKernelTimer(until))
            continue;
        // Timers have millisecond resolution: round up so the pause is never short, and
        // sleep in the event loop so window events run meanwhile.
        const auto ms = std::chrono::ceil<milliseconds>(left).count();
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

}  // namespace ignivex
