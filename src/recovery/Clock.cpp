#include "recovery/Clock.h"

#include <QEventLoop>
#include <QTimer>

namespace ignivex {

Instant SteadyClock::now() const {
    return std::chrono::steady_clock::now();
}

void SteadyClock::pauseUntil(Instant until) {
    for (;;) {
        const auto left = until - now();
        if (left <= std::chrono::nanoseconds::zero())
            return;
        // Timers have millisecond resolution: round up so the pause is never short, and
        // sleep in the event loop so window events run meanwhile.
        const auto ms = std::chrono::ceil<milliseconds>(left).count();
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

}  // namespace ignivex
