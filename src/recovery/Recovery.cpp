#include "recovery/Recovery.h"

#include "recovery/CommError.h"
#include "recovery/ErrorPrompt.h"

namespace ignivex {

Recovery::Recovery(MessageBoxes& boxes, std::function<void()> cleanup)
    : boxes_(boxes), cleanup_(std::move(cleanup)) {}

bool Recovery::step(const std::function<void()>& body, OnIgnore onIgnore) {
    for (;;) {
        try {
            body();
            return true;
        } catch (const CommError& error) {
            const int answer = ErrorPrompt(boxes_, error);
            if (answer == box::Retry)
                continue;
            if (answer == box::Ignore)
                return onIgnore == OnIgnore::NextStep;
            // Abort, and any answer this button set never gives.
            runCleanup();
            return false;
        }
    }
}

bool Recovery::steps(std::initializer_list<std::function<void()>> bodies) {
    for (const auto& body : bodies) {
        if (!step(body))
            return false;
    }
    return true;
}

void Recovery::runCleanup() {
    aborted_ = true;
    if (!cleanup_)
        return;
    try {
        cleanup_();
    } catch (const CommError& error) {
        // The clean-up is the way out; a failure in it is shown once and not retried.
        ErrorPrompt(boxes_, error);
    }
}

}  // namespace ignivex
