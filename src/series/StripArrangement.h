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

// One strip: the series drawn on it (the first names it) and its scale.
struct StripGroup {
    std::vector<Series> series;
    std::optional<FixedScale> fixed;
};

// Which series are shown, in which order, which share a strip, and each strip's scale. A series
// on no strip is hidden. Remembered as a line of text, such as "rpm;advance+map@0:40;battery_v".
struct Arrangement {
    std::vector<StripGroup> strips;

    // One strip a series, in the file's order, every scale automatic.
    static Arrangement standard();
    // Names it does not know, repeats and scales that are not a range are left out; a text
    // that leaves no series shown gives the standard arrangement.
    static Arrangement fromText(const QString& text);
    QString toText() const;

    // The strip showing `series`, or -1 when it is hidden.
    int stripOf(Series series) const;
    bool operator==(const Arrangement& other) const;
};

// The arrangement as a list to edit: every series once, shown ones first in their order, each
// either starting a strip or joining the one above.
struct ChannelEntry {
    Series series;
    bool shown;
    bool joinsAbove;
};
std::vector<ChannelEntry> entriesOf(const Arrangement& arrangement);
// Back into strips; a strip keeps the fixed scale it had in `before` while its first series is
// the same.
Arrangement fromEntries(const std::vector<ChannelEntry>& entries, const Arrangement& before);

// "RPM (rpm)", "Advance (°)", "MAP (0 to 60)": a series' name with the unit of its values. The
// module names no unit for MAP, so its label gives the range its values run over, when known.
QString labelOf(Series series, const QString& mapRange);
// "0 to 60": what MAP's values run over for a range code; empty for 0 (no MAP sensor).
QString mapRangeLabel(std::int16_t rangeCode);

}  // namespace ignivex::chart
