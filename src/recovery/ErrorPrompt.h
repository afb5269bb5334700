#pragma once

#include "recovery/CommError.h"
#include "recovery/MessageBoxes.h"

namespace ignivex {

// Shows the error's description, exactly, with Abort/Retry/Ignore and the stop icon, titled
// "Error". Returns 3 (Abort), 4 (Retry) or 5 (Ignore).
int ErrorPrompt(MessageBoxes& boxes, const CommError& error);

}  // namespace ignivex
