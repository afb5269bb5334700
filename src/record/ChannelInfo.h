#pragma once

#include "acquire/Channels.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace ignivex::record {

// A channel of a recording or of the live rows: the module's values come first, in the file's
// order; a channel computed from others is added after them and is then shown, counted and
// exported wherever the module's are, by this description alone.
enum class ChannelKind { Value, OnOff };
enum class ChannelSource { Module, Computed };

struct ChannelInfo {
    QString column;         // its name in the file, in a formula and on the command line
    QString name;           // on a chart and in a table
    QString unit;           // after a value; empty where none is named
    int decimals = 3;       // as written: a value is counted as the file would write it
    int shownDecimals = 2;  // in a read-out
    std::uint32_t rgb = 0x404040;
    double minSpan = 1;  // the narrowest range a strip shows, so noise is not blown up
    ChannelKind kind = ChannelKind::Value;
    ChannelSource source = ChannelSource::Computed;
    std::optional<Value> module;  // which of the module's values it is

    bool onOff() const { return kind == ChannelKind::OnOff; }
    bool is(Value v) const { return module == v; }
};

// A channel by its place among a table's channels; the module's values are the first, in the
// order of `Value`.
using ChannelId = int;
inline constexpr ChannelId channelOf(Value v) {
    return ChannelId(v);
}

ChannelInfo channelInfoOf(const ValueSpec& entry);

}  // namespace ignivex::record
