#pragma once

#include <QString>
#include <cstdint>

namespace ignivex {

// The one setting the tool keeps: the chosen port number, per user, under application
// "Ignivex_Log", section "Properties", key "CommPort", as decimal text.
namespace port_settings {

// The stored text, or "1" when nothing is stored.
QString readStored();

// The stored text as a 16-bit port number. Throws a CommError that names the value when it is
// not a whole number or lies outside the 16-bit range.
std::int16_t toPortNumber(const QString& stored);

// Writes the number and syncs it to disk before returning; throws when it cannot be saved.
void store(std::int16_t portNumber);

// Where the setting lives, for messages.
QString fileName();

}  // namespace port_settings
}  // namespace ignivex
