#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace ignivex::command_line {

// --duration: whole or fractional seconds, from one second to a leap year.
inline constexpr std::chrono::seconds kShortestDuration{1};
inline constexpr std::chrono::seconds kLongestDuration{366 * 24 * 3600};

// The duration in milliseconds, or nothing when the text is not a number of seconds within
// the bounds.
std::optional<std::chrono::milliseconds> parseDuration(const QString& text);

// True for an option of the toolkit's own (-platform, -style, ...), which the window takes;
// `takesValue` tells whether the next argument is its value.
bool isWindowOption(const QString& argument, bool* takesValue = nullptr);

// The window's own option: the dashboard full screen once the real-time view is open.
inline const QString kDashboardOption = QStringLiteral("--dashboard");

// The first argument that looks like an option (begins with "-") but is neither the command
// line's nor the window's (the toolkit's or --dashboard); nothing when there is none.
std::optional<QString> strayOption(const QStringList& arguments);

}  // namespace ignivex::command_line
