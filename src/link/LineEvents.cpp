#include "link/LineEvents.h"

#include "link/SerialControl.h"

namespace ignivex::line_events {

std::vector<int> fromDriver(std::uint32_t errors, std::optional<std::uint32_t> modemBefore,
                            std::optional<std::uint32_t> modemNow) {
    std::vector<int> events;
    // A break usually comes with a framing error (the long space has no stop bit): both are said.
    if (errors & kBreak)
        events.push_back(comm::ErBreak);
    if (errors & kFrame)
        events.push_back(comm::ErFrame);
    if (errors & kOverrun)
        events.push_back(comm::ErOverrun);
    if (errors & kRxOver)
        events.push_back(comm::ErRxOver);
    if (errors & kRxParity)
        events.push_back(comm::ErRxParity);
    if (modemBefore && modemNow) {
        const std::uint32_t changed = *modemBefore ^ *modemNow;
        if (changed & kCtsOn)
            events.push_back(comm::EvCTS);
        if (changed & kDsrOn)
            events.push_back(comm::EvDSR);
        if (changed & kRlsdOn)
            events.push_back(comm::EvCD);
        if ((changed & kRingOn) && (*modemNow & kRingOn))
            events.push_back(comm::EvRing);
    }
    return events;
}

}  // namespace ignivex::line_events
