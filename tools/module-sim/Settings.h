#pragma once
// Everything that can be set from the command line or, while running, from the control lines on
// stdin. Both go through the same functions, so an option and its control command never differ.

#include "Module.h"

#include <optional>
#include <string>

namespace modsim {

struct Settings {
    Values values;
    Faults faults;
    bool engine = false;
    std::optional<double> engineAt;  // the engine held at this point of its cycle, in seconds
    bool paced = false;
};

// Numbers are decimal or 0x-prefixed hexadecimal; a leading 0 does not mean octal.
std::optional<long> parseNumber(const std::string& text, long min, long max);

// Each returns an empty string on success, otherwise what was wrong.
std::string setValue(Settings& s, const std::string& name, const std::string& value);
std::string setFault(Settings& s, const std::string& name, const std::string& arg);
// `name` empty clears every fault; `command` empty clears the kind for every command.
std::string clearFault(Settings& s, const std::string& name, const std::string& command);

bool isValueName(const std::string& name);
bool isFaultName(const std::string& name);
// Options written without an argument: the on/off values and the faults that take none.
bool isFlag(const std::string& name);

// The values and faults in the syntax `set` and `fault` accept.
std::string describe(const Settings& s);

std::string hexByte(int b);  // "0x2F"

}  // namespace modsim
