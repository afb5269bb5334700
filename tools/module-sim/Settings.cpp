#include "Settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace modsim {

std::string hexByte(int b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b & 0xFF);
    return buf;
}

std::optional<long> parseNumber(const std::string& text, long min, long max) {
    std::size_t i = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size())
        return std::nullopt;
    long v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        if (v > (std::numeric_limits<long>::max() - d) / base)
            return std::nullopt;
        v = v * base + d;
    }
    if (v < min || v > max)
        return std::nullopt;
    return v;
}

namespace {

struct ByteValue {
    const char* name;
    std::uint8_t Values::*field;
};
constexpr std::array kByteValues{
    ByteValue{"map", &Values::map},
    ByteValue{"bat", &Values::bat},
    ByteValue{"adv", &Values::adv},
    ByteValue{"gpi", &Values::gpi},
    ByteValue{"gpi3", &Values::gpi3},
    ByteValue{"status", &Values::status},
    ByteValue{"sync-reply", &Values::syncReply},
};

const ByteValue* findByteValue(const std::string& name) {
    for (const auto& v : kByteValues)
        if (name == v.name)
            return &v;
    return nullptr;
}

std::optional<bool> parseOnOff(const std::string& text) {
    if (text == "on" || text == "1")
        return true;
    if (text == "off" || text == "0")
        return false;
    return std::nullopt;
}

// Faults that apply per command, with the meaning of their number (none for silent and short).
struct CommandFault {
    const char* name;
    PerCommand Faults::*field;
    const char* number;  // nullptr: no number
    long max;
};
constexpr std::array kCommandFaults{
    CommandFault{"silent", &Faults::silent, nullptr, 0},
    CommandFault{"short", &Faults::shortReply, nullptr, 0},
    CommandFault{"late", &Faults::lateMs, "milliseconds", 600000},
    CommandFault{"extra", &Faults::extra, "byte count", 4096},
    CommandFault{"garbage", &Faults::garbage, "byte count", 4096},
    CommandFault{"garbage-append", &Faults::garbageAppend, "byte count", 4096},
};

const CommandFault* findCommandFault(const std::string& name) {
    for (const auto& f : kCommandFaults)
        if (name == f.name)
            return &f;
    return nullptr;
}

std::optional<int> parseCommand(const std::string& text) {
    if (text == "all")
        return PerCommand::kAll;
    if (auto v = parseNumber(text, 0, 255))
        return static_cast<int>(*v);
    return std::nullopt;
}

std::string commandText(int command) {
    return command == PerCommand::kAll ? std::string("all") : hexByte(command);
}

}  // namespace

bool isValueName(const std::string& name) {
    return findByteValue(name) || name == "rpm-count" || name == "rpm" || name == "id" ||
           name == "engine" || name == "engine-at" || name == "paced";
}

bool isFaultName(const std::string& name) {
    return findCommandFault(name) || name == "id-no-cr" || name == "hangup-after" ||
           name == "stream";
}

bool isFlag(const std::string& name) {
    return name == "engine" || name == "paced" || name == "id-no-cr" || name == "stream";
}

std::string setValue(Settings& s, const std::string& name, const std::string& value) {
    if (const ByteValue* b = findByteValue(name)) {
        const auto v = parseNumber(value, 0, 255);
        if (!v)
            return name + " takes a byte, 0-255 or 0x00-0xFF, not '" + value + "'";
        s.values.*(b->field) = static_cast<std::uint8_t>(*v);
        return {};
    }
    if (name == "rpm-count") {
        const auto v = parseNumber(value, 0, 65535);
        if (!v)
            return "rpm-count takes 0-65535, not '" + value + "'";
        s.values.rpmCount = static_cast<std::uint16_t>(*v);
        return {};
    }
    if (name == "rpm") {
        const auto v = parseNumber(value, 0, 3750000);
        if (!v)
            return "rpm takes 0-3750000, not '" + value + "'";
        s.values.rpmCount = rpmToCount(static_cast<double>(*v));
        return {};
    }
    if (name == "id") {
        if (value.find('\r') != std::string::npos || value.find('\n') != std::string::npos)
            return "id cannot hold a line end";
        s.values.id = value;
        return {};
    }
    if (name == "engine-at") {
        if (value == "off") {
            s.engineAt.reset();
            return {};
        }
        char* end = nullptr;
        const double t = std::strtod(value.c_str(), &end);
        if (value.empty() || !(value[0] >= '0' && value[0] <= '9') || *end != '\0' || !(t <= 1e6))
            return "engine-at takes seconds into the cycle (such as 8.5) or off, not '" + value +
                   "'";
        s.engine = true;
        s.engineAt = t;
        return {};
    }
    if (name == "engine" || name == "paced") {
        const auto on = parseOnOff(value);
        if (!on)
            return name + " takes on or off, not '" + value + "'";
        (name == "engine" ? s.engine : s.paced) = *on;
        return {};
    }
    return "no value named '" + name + "'";
}

std::string setFault(Settings& s, const std::string& name, const std::string& arg) {
    if (name == "id-no-cr" || name == "stream") {
        if (!arg.empty() && arg != "on")
            return name + " takes no argument";
        (name == "stream" ? s.faults.stream : s.faults.idNoCr) = true;
        return {};
    }
    if (name == "hangup-after") {
        const auto n = parseNumber(arg, 1, std::numeric_limits<int>::max());
        if (!n)
            return "hangup-after takes a count of commands, 1 or more, not '" + arg + "'";
        s.faults.hangupAfter = static_cast<int>(*n);
        return {};
    }
    const CommandFault* f = findCommandFault(name);
    if (!f)
        return "no fault named '" + name + "'";
    const std::size_t colon = arg.find(':');
    const auto command = parseCommand(arg.substr(0, colon));
    if (!command)
        return name + ": '" + arg.substr(0, colon) + "' is neither a command byte nor 'all'";
    int number = 0;
    if (f->number) {
        const auto n = colon == std::string::npos ? std::nullopt
                                                  : parseNumber(arg.substr(colon + 1), 0, f->max);
        if (!n)
            return name + " takes CMD:N, N the " + f->number + " (0-" + std::to_string(f->max) +
                   ")";
        number = static_cast<int>(*n);
    } else if (colon != std::string::npos) {
        return name + " takes only a command byte or 'all'";
    }
    (s.faults.*(f->field)).set(*command, number);
    return {};
}

std::string clearFault(Settings& s, const std::string& name, const std::string& command) {
    if (name.empty()) {
        s.faults = Faults{};
        return {};
    }
    if (name == "id-no-cr" || name == "hangup-after" || name == "stream") {
        if (!command.empty())
            return name + " applies to no single command";
        if (name == "id-no-cr")
            s.faults.idNoCr = false;
        else if (name == "stream")
            s.faults.stream = false;
        else
            s.faults.hangupAfter.reset();
        return {};
    }
    const CommandFault* f = findCommandFault(name);
    if (!f)
        return "no fault named '" + name + "'";
    PerCommand& p = s.faults.*(f->field);
    if (command.empty()) {
        p.clearAll();
        return {};
    }
    const auto c = parseCommand(command);
    if (!c)
        return "'" + command + "' is neither a command byte nor 'all'";
    p.clear(*c);
    return {};
}

std::string describe(const Settings& s) {
    const Values& v = s.values;
    std::string out = "rpm-count=" + std::to_string(v.rpmCount);
    for (const auto& b : kByteValues)
        out += std::string(" ") + b.name + "=" + hexByte(v.*(b.field));
    out += std::string(" engine=") + (s.engine ? "on" : "off");
    if (s.engineAt) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " engine-at=%g", *s.engineAt);
        out += buf;
    }
    out += std::string(" paced=") + (s.paced ? "on" : "off");
    for (const auto& f : kCommandFaults) {
        const PerCommand& p = s.faults.*(f.field);
        if (p.empty())
            continue;
        out += std::string(" ") + f.name + "=";
        bool first = true;
        for (const auto& [command, number] : p.entries()) {
            out += (first ? "" : ",") + commandText(command);
            if (f.number)
                out += ":" + std::to_string(number);
            first = false;
        }
    }
    if (s.faults.idNoCr)
        out += " id-no-cr";
    if (s.faults.hangupAfter)
        out += " hangup-after=" + std::to_string(*s.faults.hangupAfter);
    if (s.faults.stream)
        out += " stream";
    out += " id=\"" + v.id + "\"";  // last: the text may hold spaces
    return out;
}

}  // namespace modsim
