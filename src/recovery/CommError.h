#pragma once

#include <QString>
#include <cstdint>
#include <exception>

namespace ignivex {

// The tool's own error number (0x800403E8) and source for the errors it raises itself.
inline constexpr std::int32_t kCommErrorNumber = -2147220504;
inline const char* const kCommErrorSource = "Comm Error";

// Error numbers of the tool's own run-time failures, one per kind.
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrDivisionByZero = 11;
inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrInputPastEnd = 62;
inline constexpr std::int32_t kErrInvalidProperty = 380;

// An error being handled: what the prompt shows is the description, exactly.
class CommError : public std::exception {
public:
    CommError(std::int32_t number, QString source, QString description);

    std::int32_t number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

    // An error the tool raises itself: number 0x800403E8, source "Comm Error".
    static CommError raised(const QString& description);

private:
    std::int32_t number_;
    QString source_;
    QString description_;
    QByteArray what_;
};

// The text of the exchange time-out, word for word.
inline const char* const kTimeoutText = "RS-232 timeout. Check cable and click Abort.";

}  // namespace ignivex
