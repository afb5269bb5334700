#pragma once

#include "acquire/Sample.h"
#include "link/ModuleLink.h"

#include <array>
#include <cstdint>
#include <optional>

// Every channel of the module, described once. The polling tick, the recording file, the live
// chart, the review, the replay on the panel and the panel's lamps all iterate these tables, so
// a channel added here appears everywhere.
namespace ignivex {

// One read of the polling tick, in the order the tick makes them.
struct ChannelSpec {
    Channel channel;
    const ChannelCommand* command;        // byte, reply length, conversion
    bool needsMapSensor;                  // not asked of a module without one (range code 0)
    std::optional<float> Sample::*value;  // where the reply's value goes in the tick's Sample
    bool bits;                            // the reply's bits go to Sample::gpiBits as well
};

inline const std::array<ChannelSpec, 5> kChannels{{
    {Channel::Inputs, &ModuleLink::kGpiRead, false, &Sample::gpi3Analog, true},
    {Channel::Map, &ModuleLink::kMapRead, true, &Sample::map, false},
    {Channel::Battery, &ModuleLink::kBatteryRead, false, &Sample::battery, false},
    {Channel::Rpm, &ModuleLink::kRpmRead, false, &Sample::rpm, false},
    {Channel::Advance, &ModuleLink::kAdvanceRead, false, &Sample::advance, false},
}};

const ChannelSpec& channelSpec(Channel channel);

// The values a recording keeps of a tick, in the order of the file's columns.
enum class Value { Rpm, Advance, Map, Battery, Gpi3Volts, Gpi1, Gpi2, Gpi3 };
inline constexpr int kValueCount = 8;

// The recorded values of one tick (a file row, a chart point), each empty when it was not read.
struct ChannelValues {
    std::optional<double> rpm, advance, map, battery, gpi3Volts;
    std::optional<bool> gpi1, gpi2, gpi3;
};

// A recorded value: where it comes from, how the file writes it and how a chart draws it.
struct ValueSpec {
    Value value;
    Channel read;          // the read that gives it
    std::int16_t gpiMask;  // an input: its bit in the inputs' first reply byte (0: the value)
    const char* column;    // the file's column
    int decimals;          // in the file
    const char* name;      // on a chart
    const char* unit;      // after a value; empty where the module names none
    std::uint32_t rgb;     // its colour on a chart
    double minSpan;        // the narrowest range a strip shows, so noise is not blown up
    int shownDecimals;     // in a chart's read-out
    std::optional<double> ChannelValues::*number;  // a value's place among the values
    std::optional<bool> ChannelValues::*bit;       // an input's
};

inline constexpr std::array<ValueSpec, kValueCount> kValues{{
    {Value::Rpm, Channel::Rpm, 0, "rpm", 1, "RPM", "rpm", 0x1f4e9c, 1000, 0, &ChannelValues::rpm,
     nullptr},
    {Value::Advance, Channel::Advance, 0, "advance", 3, "Advance", "\u00b0", 0xc03c14, 10, 1,
     &ChannelValues::advance, nullptr},
    {Value::Map, Channel::Map, 0, "map", 1, "MAP", "", 0x2e7d32, 10, 1, &ChannelValues::map,
     nullptr},
    {Value::Battery, Channel::Battery, 0, "battery_v", 3, "Battery", "V", 0x7a3fa0, 2, 2,
     &ChannelValues::battery, nullptr},
    {Value::Gpi3Volts, Channel::Inputs, 0, "gpi3_v", 3, "GPI3 analogue", "V", 0x007c80, 1, 2,
     &ChannelValues::gpi3Volts, nullptr},
    {Value::Gpi1, Channel::Inputs, 0x04, "gpi1", 0, "GPI1", "", 0x404040, 1, 0, nullptr,
     &ChannelValues::gpi1},
    {Value::Gpi2, Channel::Inputs, 0x08, "gpi2", 0, "GPI2", "", 0x404040, 1, 0, nullptr,
     &ChannelValues::gpi2},
    {Value::Gpi3, Channel::Inputs, 0x10, "gpi3", 0, "GPI3", "", 0x404040, 1, 0, nullptr,
     &ChannelValues::gpi3},
}};

inline const ValueSpec& valueSpec(Value value) {
    return kValues[std::size_t(value)];
}

// An input: drawn as 0 or 1, as steps on a short strip.
inline bool isInput(const ValueSpec& entry) {
    return entry.gpiMask != 0;
}

// A value by its description: an input as 0 or 1.
std::optional<double> valueOf(const ChannelValues& values, const ValueSpec& entry);
void setValue(ChannelValues& values, const ValueSpec& entry, std::optional<double> value);

// A tick's Sample as the values a file row and a chart point hold.
ChannelValues valuesOf(const Sample& sample);
// Back into a Sample's fields. The inputs' bits are set only when all three are present; bits
// other than the three inputs' are not recorded and come back 0.
void putValues(Sample& sample, const ChannelValues& values);

// Whether a GPI lamp is lit for the input bits.
inline bool inputOn(std::int16_t bits, const ValueSpec& entry) {
    return (bits & entry.gpiMask) == entry.gpiMask;
}

}  // namespace ignivex
