#pragma once

#include <QString>

namespace ignivex {

// Button sets and icons of a message-box style, combined by addition (18 is Abort/Retry/Ignore
// with the stop icon).
namespace box {
inline constexpr int OkOnly = 0;
inline constexpr int AbortRetryIgnore = 2;
inline constexpr int YesNo = 4;
inline constexpr int RetryCancel = 5;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;

// Results: the button the user pressed.
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
}  // namespace box

// The one way the tool asks the user something: text, style, title -> the pressed button.
// The real implementation is a modal QMessageBox; tests put a scripted answerer here.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int show(const QString& text, int style, const QString& title) = 0;
};

}  // namespace ignivex
