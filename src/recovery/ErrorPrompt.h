#pragma once

#include "recovery/CommError.h"
#include "recovery/MessageBoxes.h"

#include <cstdint>

namespace ignivex {

// Shows the error's description, exactly, with Abort/Retry/Ignore and the stop icon, titled
// "Error". Returns 3 (Abort), 4 (Retry) or 5 (Ignore).
int ErrorPrompt(MessageBoxes& boxes, const CommError& error);

// How many prompts about the link (error prompts and line-fault reports) this process has
// shown. A polling tick compares it before and after a read: a read that raised one was held
// up by it, and what it read came later than the tick's time.
std::uint64_t linkPromptsShown();
void countLinkPrompt();
// How many of the error prompts were answered Ignore: a read can succeed after an Ignore (the
// division error of a zero engine-speed count goes on with a speed of 0), and its value is
// then not what the module measured.
std::uint64_t linkPromptsIgnored();

}  // namespace ignivex
