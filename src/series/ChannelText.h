#pragma once

#include "record/ChannelInfo.h"

#include <QList>
#include <QString>
#include <utility>

// How a channel and its figures read in the review's tool windows: titles, units, means and
// durations.
namespace ignivex::chart::tools {

using Details = QList<std::pair<QString, QString>>;

// "Advance (°)", "RPM (rpm)", "GPI1 (0 or 1)"; MAP in the module's own units, with its range
// when the recording names it: "MAP (range 2: 0 to 60)", "MAP (range 0: no MAP sensor)".
QString channelTitle(const record::ChannelInfo& entry, const Details& details);
// The unit after a value, with its space: " °", " rpm", "" for MAP and the inputs.
QString unitSuffix(const record::ChannelInfo& entry);
// A mean of the channel as the windows show it: one decimal more than the chart's read-out.
QString meanText(const record::ChannelInfo& entry, double mean);
// A mean as the exported CSV writes it: two decimals more than the file (an input: 3).
QString csvMeanText(const record::ChannelInfo& entry, double mean);
// Time spent: "0.04 s", "59.9 s", "2:05", "1:02:03".
QString durationText(double seconds);

}  // namespace ignivex::chart::tools
