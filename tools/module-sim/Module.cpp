#include "Module.h"

#include <algorithm>
#include <cmath>

namespace modsim {

bool isKnownCommand(std::uint8_t c) {
    return std::find(std::begin(kKnownCommands), std::end(kKnownCommands), c) !=
           std::end(kKnownCommands);
}

std::uint16_t rpmToCount(double rpm) {
    if (!(rpm > 0))
        return kRpmStopped;
    // Counts 1..65534 are the speeds the module can report; below 57.2 rpm it reads as stopped.
    const double count = std::round(3750000.0 / rpm);
    if (count >= kRpmStopped)
        return kRpmStopped;
    return static_cast<std::uint16_t>(std::max(1.0, count));
}

std::optional<int> PerCommand::lookup(std::uint8_t command) const {
    if (auto it = entries_.find(command); it != entries_.end())
        return it->second;
    if (auto it = entries_.find(kAll); it != entries_.end())
        return it->second;
    return std::nullopt;
}

std::optional<Bytes> normalReply(std::uint8_t command, const Values& v) {
    switch (command) {
    case cmd::Sync:
        return Bytes{v.syncReply};
    case cmd::Identify: {
        Bytes b(v.id.begin(), v.id.end());
        b.push_back(kCr);
        return b;
    }
    case cmd::Status:
        return Bytes{v.status};
    case cmd::Rpm:  // low byte first
        return Bytes{static_cast<std::uint8_t>(v.rpmCount & 0xFF),
                     static_cast<std::uint8_t>(v.rpmCount >> 8)};
    case cmd::Map:
        return Bytes{v.map};
    case cmd::Battery:
        return Bytes{v.bat};
    case cmd::Gpi:
        return Bytes{v.gpi, v.gpi3};
    case cmd::Advance:
        return Bytes{v.adv};
    default:
        return std::nullopt;
    }
}

namespace {
void appendRandom(Bytes& b, int count, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < count; ++i)
        b.push_back(static_cast<std::uint8_t>(byte(random)));
}
}  // namespace

std::optional<Reply> reply(std::uint8_t command, const Values& values, const Faults& f,
                           std::mt19937& random) {
    auto normal = normalReply(command, values);
    if (!normal || f.silent.lookup(command))
        return std::nullopt;

    Reply r;
    r.bytes = std::move(*normal);
    if (command == cmd::Identify && f.idNoCr)
        r.bytes.pop_back();
    if (auto n = f.garbage.lookup(command)) {
        r.bytes.clear();
        appendRandom(r.bytes, *n, random);
    }
    if (f.shortReply.lookup(command) && !r.bytes.empty())
        r.bytes.pop_back();
    if (auto n = f.extra.lookup(command))
        r.bytes.insert(r.bytes.end(), static_cast<std::size_t>(*n), kExtraByte);
    if (auto n = f.garbageAppend.lookup(command))
        appendRandom(r.bytes, *n, random);
    r.delayMs = f.lateMs.lookup(command).value_or(0);
    return r;
}

}  // namespace modsim
