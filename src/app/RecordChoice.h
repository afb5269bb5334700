#pragma once

#include "acquire/Rates.h"
#include "watch/StartTrigger.h"

#include <optional>

namespace ignivex {

// How a recording is to run: its rate, and whether it starts itself on a condition.
struct RecordChoice {
    Rate rate = kViewRate;
    std::optional<watch::TriggerSettings> trigger;  // nothing: from now on
    bool operator==(const RecordChoice&) const = default;
};

}  // namespace ignivex
