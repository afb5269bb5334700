#pragma once

#include "series/ChartData.h"

#include <QString>
#include <optional>
#include <vector>

namespace ignivex::chart {

// A strip's vertical scale when the user has fixed it; otherwise it follows the values in view.
struct FixedScale {
    double low, high;
};
// Whether a scale can be drawn: finite, the top above the bottom by at least a millionth and
// by more than a float's own spacing there (so a strip always has a height in values).
bool usable(const FixedScale& scale);

// The channels of some rows, in their order: the module's first.
using ChannelList = std::vector<record::ChannelInfo>;
ChannelList channelsOf(const record::Table& table);
const ChannelList& moduleChannels();

// A channel on a strip: its place among the channels of the rows drawn, and how it is drawn.
struct StripChannel {
    ChannelId id;
    record::ChannelInfo info;
    bool operator==(const StripChannel& other) const { return id == other.id; }
};

// One strip: the channels drawn on it (the first names it) and its scale.
struct StripGroup {
    std::vector<StripChannel> series;
    std::optional<FixedScale> fixed;
};

// Which channels are shown, in which order, which share a strip, and each strip's scale, for the
// channels of some rows (the module's, and any computed after them). A channel on no strip is
// hidden. Remembered as a line of text, such as "rpm;advance+map@0:40;battery_v".
struct Arrangement {
    std::vector<StripGroup> strips;
    ChannelList channels = moduleChannels();  // those it was made for

    // One strip a channel, in the channels' order, every scale automatic.
    static Arrangement standard(const ChannelList& channels = moduleChannels());
    // Names it does not know, repeats and scales that are not a range are left out; a text
    // that leaves no channel shown gives the standard arrangement.
    static Arrangement fromText(const QString& text,
                                const ChannelList& channels = moduleChannels());
    QString toText() const;
    // The same strips for another table's channels (by name): those it lacks are left out.
    Arrangement forChannels(const ChannelList& channels) const;

    // The strip showing the channel, or -1 when it is hidden.
    int stripOf(ChannelId channel) const;
    bool operator==(const Arrangement& other) const;
};

// The arrangement as a list to edit: every channel once, shown ones first in their order, each
// either starting a strip or joining the one above.
struct ChannelEntry {
    StripChannel series;
    bool shown;
    bool joinsAbove;
};
std::vector<ChannelEntry> entriesOf(const Arrangement& arrangement);
// Back into strips; a strip keeps the fixed scale it had in `before` while its first series is
// the same.
Arrangement fromEntries(const std::vector<ChannelEntry>& entries, const Arrangement& before);

// "RPM (rpm)", "Advance (°)", "MAP (0 to 60)": a channel's name with the unit of its values.
// The module names no unit for MAP, so its label gives the range its values run over, when
// known.
QString labelOf(const record::ChannelInfo& channel, const QString& mapRange);
// "0 to 60": what MAP's values run over for a range code; empty for 0 (no MAP sensor).
QString mapRangeLabel(std::int16_t rangeCode);

}  // namespace ignivex::chart
