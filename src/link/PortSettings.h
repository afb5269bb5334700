#pragma once

#include <QString>
#include <cstdint>

namespace ignivex {

// The one setting the tool keeps: the chosen port number, per user, under application
// "Ignivex_Log", section "Properties", key "CommPort", as decimal text.
namespace port_settings {

// The settings file holds a few short settings: a larger one is not read.
inline constexpr qint64 kMaxSettingsFileBytes = 64 * 1024;

// The stored text, or "1" when nothing is stored. Throws a CommError that says what is wrong
// with the file when it cannot be read (not a plain file, too large, not in the settings
// format); the next store() then mends a file that could not be read, keeping every line of it
// that can be read.
QString readStored();

// The stored text as a 16-bit port number. Throws a CommError that names the value when it is
// not a whole number or lies outside the 16-bit range.
std::int16_t toPortNumber(const QString& stored);

// Writes the number and syncs it to disk before returning; throws when it cannot be saved.
// A settings file that is a link is written through the link. One that could not be read is
// mended (its readable lines kept); where that was not announced at start-up, a CommError says
// so after the write.
void store(std::int16_t portNumber);

// Where the setting lives, for messages.
QString fileName();

}  // namespace port_settings
}  // namespace ignivex
