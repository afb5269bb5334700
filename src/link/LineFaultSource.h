#pragma once

#include <optional>

namespace ignivex {

// The driver's running counts of line faults. Qt reports none of these itself, so they are
// read from the driver where it keeps them.
struct LineFaultCounts {
    long frame = 0;
    long overrun = 0;
    long parity = 0;
    long bufferOverrun = 0;
};

class LineFaultSource {
public:
    virtual ~LineFaultSource() = default;
    // The counts for an open handle, or nothing when the device keeps none (a pseudo-terminal).
    virtual std::optional<LineFaultCounts> read(int handle) = 0;
};

// Linux: the serial driver's TIOCGICOUNT counters (8250, ftdi_sio, cp210x and others).
class DriverFaultCounters final : public LineFaultSource {
public:
    std::optional<LineFaultCounts> read(int handle) override;
};

}  // namespace ignivex
