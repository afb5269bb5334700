#pragma once
// The module's side of the protocol: what it answers to each command byte, given its values and
// the faults switched on. Pure functions of their arguments, so the event loop only moves bytes.

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace modsim {

using Bytes = std::vector<std::uint8_t>;

namespace cmd {
inline constexpr std::uint8_t Sync = 0x33;
inline constexpr std::uint8_t Identify = 0x10;
inline constexpr std::uint8_t Status = 0x2F;
inline constexpr std::uint8_t Rpm = 0x20;
inline constexpr std::uint8_t Map = 0x22;
inline constexpr std::uint8_t Battery = 0x23;
inline constexpr std::uint8_t Gpi = 0x24;
inline constexpr std::uint8_t Advance = 0x26;
}  // namespace cmd

// The command bytes the module knows, in the order `stats` lists them.
inline constexpr std::uint8_t kKnownCommands[] = {cmd::Sync, cmd::Identify, cmd::Status,
                                                  cmd::Rpm,  cmd::Map,      cmd::Battery,
                                                  cmd::Gpi,  cmd::Advance};
bool isKnownCommand(std::uint8_t c);

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kExtraByte = 0xEE;  // filler of the `extra` fault
inline constexpr std::uint16_t kRpmStopped = 0xFFFF;

struct Values {
    std::uint16_t rpmCount = 4167;  // 900 rpm: an engine at idle
    std::uint8_t map = 0x50;        // light load, with range code 1 about 11.8
    std::uint8_t bat = 196;         // 13.84 V
    std::uint8_t adv = 57;          // 10.0 degrees
    std::uint8_t gpi = 0x00;
    std::uint8_t gpi3 = 0x80;    // 2.51 V
    std::uint8_t status = 0x01;  // MAP range code 1
    std::uint8_t syncReply = kAck;
    std::string id = "IGX-2 V1.10";
};

// The rpm count for an engine speed: the nearest count, 65535 for a stopped engine.
std::uint16_t rpmToCount(double rpm);

// A fault that applies per command byte, with a number (milliseconds, byte count) or none.
// An entry for "all" covers every command that has no entry of its own.
class PerCommand {
public:
    static constexpr int kAll = -1;
    void set(int command, int arg) { entries_[command] = arg; }
    void clear(int command) { entries_.erase(command); }
    void clearAll() { entries_.clear(); }
    std::optional<int> lookup(std::uint8_t command) const;
    bool empty() const { return entries_.empty(); }
    const std::map<int, int>& entries() const { return entries_; }

private:
    std::map<int, int> entries_;
};

struct Faults {
    PerCommand silent;         // no reply
    PerCommand shortReply;     // one byte fewer than the reply has
    PerCommand lateMs;         // delay before the reply
    PerCommand extra;          // that many filler bytes after the reply
    PerCommand garbage;        // that many random bytes instead of the reply
    PerCommand garbageAppend;  // that many random bytes after the reply
    bool idNoCr = false;
    std::optional<int> hangupAfter;  // command bytes answered before the line drops
    bool stream = false;             // random bytes without end, at the wire's pace
};

// The reply of a healthy module; nothing for an unknown command.
std::optional<Bytes> normalReply(std::uint8_t command, const Values& values);

struct Reply {
    Bytes bytes;
    int delayMs = 0;
};

// The reply with the faults applied; nothing for an unknown or silenced command.
std::optional<Reply> reply(std::uint8_t command, const Values& values, const Faults& faults,
                           std::mt19937& random);

}  // namespace modsim
