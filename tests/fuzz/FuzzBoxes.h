#pragma once

#include "recovery/MessageBoxes.h"

#include <cstdlib>

namespace ignivex::fuzz {

// Answers prompts as a user in a hurry would: Ignore a few times, then Abort, so that no input
// can keep a procedure asking for ever. Every text shown must be of a readable length.
class HurriedBoxes : public MessageBoxes {
public:
    static constexpr qsizetype kLongestText = 2000;
    int show(const QString& text, int style, const QString&) override {
        if (text.size() > kLongestText)
            std::abort();  // a message that outside text has blown up
        ++shown;
        if ((style & 7) != box::AbortRetryIgnore)
            return box::Ok;
        return shown < 4 ? box::Ignore : box::Abort;
    }
    int shown = 0;
};

}  // namespace ignivex::fuzz
