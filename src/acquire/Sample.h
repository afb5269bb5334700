#pragma once

#include "base/Clock.h"

#include <QDateTime>
#include <QMetaType>
#include <cstdint>
#include <optional>

namespace ignivex {

// The live channels, in the order a polling tick reads them.
enum class Channel { Inputs, Map, Battery, Rpm, Advance };

// What one polling tick read. A value is present only when its read succeeded in this tick's
// own time: a failed read, a read the tick never reached, a read that came after a prompt held
// the tick, and the MAP value of a module without a MAP sensor are empty.
struct Sample {
    // How the tick went; the recording's status column. Only Complete is "ok".
    enum class End {
        Complete,  // every read of the tick ran, none raised a prompt, every reply was clean
        Escape,    // Esc ended the tick early
        LinkLost,  // the input read failed: the view was closed
        Aborted,   // the view was closed during the tick (Close, or Abort at a prompt)
        Ignored,   // a read failed and its prompt was answered Ignore: its cell is empty (also
                   // when the read then goes on with a stand-in value), and the row ends there
                   // (the reads after it are later than the row's time)
        Held,      // a prompt held the tick and the read then succeeded (Retry, or a line-fault
                   // report): the row ends before that read
        Surplus,   // a reply came with bytes beyond its length (garbage, a streaming line)
    };
    static constexpr int kEndCount = 7;

    Instant monotonic{};                  // start of the tick, on the monotonic clock
    QDateTime wallClock;                  // start of the tick, local time with its UTC offset
    std::optional<std::int16_t> gpiBits;  // bits 2, 3 and 4 are GPI1 to GPI3
    std::optional<float> gpi3Analog;      // volts, 0 to 5
    std::optional<float> map;
    std::optional<float> battery;  // volts
    std::optional<float> rpm;
    std::optional<float> advance;
    End end = End::Complete;
};

}  // namespace ignivex

Q_DECLARE_METATYPE(ignivex::Sample)
