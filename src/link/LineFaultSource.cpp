#include "link/LineFaultSource.h"

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace ignivex {

std::optional<LineFaultCounts> DriverFaultCounters::read([[maybe_unused]] int handle) {
#if defined(__linux__)
    serial_icounter_struct counters{};
    if (handle < 0 || ::ioctl(handle, TIOCGICOUNT, &counters) != 0)
        return std::nullopt;
    LineFaultCounts counts;
    counts.frame = counters.frame;
    counts.overrun = counters.overrun;
    counts.parity = counters.parity;
    counts.bufferOverrun = counters.buf_overrun;
    return counts;
#else
    return std::nullopt;
#endif
}

}  // namespace ignivex
