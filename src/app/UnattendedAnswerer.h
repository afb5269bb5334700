#pragma once

#include "recovery/MessageBoxes.h"

#include <functional>

namespace ignivex {

// The message boxes of a logger that runs with nobody watching. What a window would show goes
// out as one line (the caller adds the time) and is answered by a policy fit for a logger: a
// time-out or a lost link is let go (Ignore: the read ends, polling goes on and the link is
// brought back into step), a device that has vanished ends the procedure (Abort: the logger
// then waits for the device), a line fault discards its input (Retry), a notice is taken (OK).
class UnattendedAnswerer final : public MessageBoxes {
public:
    using Say = std::function<void(const QString& line)>;
    UnattendedAnswerer(Say say, std::function<bool()> deviceMissing);

    int show(const QString& text, int style, const QString& title) override;

private:
    Say say_;
    std::function<bool()> deviceMissing_;
};

}  // namespace ignivex
