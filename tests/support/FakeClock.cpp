#include "support/FakeClock.h"

#include <QCoreApplication>

namespace ignivex::test {

void FakeClock::pauseUntil(Instant until) {
    ++pauses;
    QCoreApplication::processEvents();
    advanceTo(until);
}

}  // namespace ignivex::test
