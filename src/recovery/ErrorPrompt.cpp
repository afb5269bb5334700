#include "recovery/ErrorPrompt.h"

#include <atomic>

namespace ignivex {

namespace {
std::atomic<std::uint64_t> promptCount{0};
std::atomic<std::uint64_t> ignoredCount{0};
}  // namespace

std::uint64_t linkPromptsShown() {
    return promptCount.load();
}

void countLinkPrompt() {
    ++promptCount;
}

std::uint64_t linkPromptsIgnored() {
    return ignoredCount.load();
}

int ErrorPrompt(MessageBoxes& boxes, const CommError& error) {
    countLinkPrompt();
    const int answer = boxes.show(error.description(), box::AbortRetryIgnore + box::Critical,
                                  QStringLiteral("Error"));
    if (answer == box::Ignore)
        ++ignoredCount;
    return answer;
}

}  // namespace ignivex
