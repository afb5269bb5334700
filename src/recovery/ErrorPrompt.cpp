#include "recovery/ErrorPrompt.h"

namespace ignivex {

int ErrorPrompt(MessageBoxes& boxes, const CommError& error) {
    return boxes.show(error.description(), box::AbortRetryIgnore + box::Critical,
                      QStringLiteral("Error"));
}

}  // namespace ignivex
