#include "app/UnattendedAnswerer.h"

namespace ignivex {

UnattendedAnswerer::UnattendedAnswerer(Say say, std::function<bool()> deviceMissing)
    : say_(std::move(say)), deviceMissing_(std::move(deviceMissing)) {}

int UnattendedAnswerer::show(const QString& text, int style, const QString& title) {
    int answer = box::Ok;
    const char* said = "";
    switch (style & 7) {
    case box::AbortRetryIgnore:
        if (deviceMissing_ && deviceMissing_()) {
            answer = box::Abort;
            said = " (answered Abort: waiting for the device)";
        } else {
            answer = box::Ignore;
            said = " (answered Ignore)";
        }
        break;
    case box::RetryCancel:
        answer = box::Retry;
        said = " (answered Retry)";
        break;
    default:
        break;
    }
    QString oneLine = text.simplified();
    say_(title + QStringLiteral(": ") + oneLine + QString::fromLatin1(said));
    return answer;
}

}  // namespace ignivex
