#include "link/CommEventHandler.h"

#include "recovery/ErrorPrompt.h"

#include "recovery/CommError.h"

#include <limits>

namespace ignivex {

CommEventHandler::CommEventHandler(SerialControl& port, MessageBoxes& boxes, Module1& state,
                                   QObject* parent)
    : QObject(parent), port_(port), boxes_(boxes), state_(state) {
    connect(&port_, &SerialControl::onComm, this, &CommEventHandler::MSComm1_OnComm);
}

void CommEventHandler::closePortIfOpen() {
    if (port_.portOpen())
        port_.setPortOpen(false);
}

void CommEventHandler::MSComm1_OnComm() {
    try {
        const int code = port_.commEvent();
        const bool viewOpen = state_.viewActive;
        switch (code) {
        case comm::ErFrame:
            if (viewOpen)
                return;
            throw CommError::raised(QStringLiteral("Framing Error"));
        case comm::ErOverrun:
            if (viewOpen) {
                closePortIfOpen();
                return;
            }
            throw CommError::raised(QStringLiteral("Port Hardware Overrun"));
        case comm::ErRxOver:
            if (viewOpen) {
                closePortIfOpen();
                return;
            }
            throw CommError::raised(QStringLiteral("Receive Buffer Overflow"));
        case comm::ErRxParity:
            if (viewOpen)
                return;
            throw CommError::raised(QStringLiteral("Parity Error"));
        case comm::ErDCB:
            throw CommError::raised(QStringLiteral("Device Control Block Error"));
        default:
            return;  // received characters and faults the tool does not act on
        }
    } catch (const CommError& error) {
        // Held at the top rather than wrapping: a negative count would stop the closing below.
        if (state_.commErrorCount < std::numeric_limits<std::int16_t>::max())
            ++state_.commErrorCount;
        try {
            if (state_.commErrorCount > 2)
                closePortIfOpen();
            // One box at a time: a fault that comes while the report of another is open is
            // counted (and closes the port from the third on) but raises no box of its own.
            if (reporting_)
                return;
            const Reporting reporting(reporting_);
            countLinkPrompt();
            const int answer = boxes_.show(error.description(), box::RetryCancel + box::Critical,
                                           QStringLiteral("Communications Error"));
            if (answer == box::Retry) {
                if (port_.portOpen())
                    port_.setInBufferCount(0);
            } else {
                closePortIfOpen();
            }
        } catch (const CommError&) {
            // The port refused the clean-up (it is already gone); the report has been made.
        }
    }
}

}  // namespace ignivex
