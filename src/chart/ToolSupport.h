#pragma once

#include "acquire/Channels.h"

#include <QColor>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

class QWidget;

namespace ignivex {
class MessageBoxes;
}

// What the map table and the XY plot share: how a channel is titled, the colour scales, the
// tick steps of an axis, and writing a file the user chose.
namespace ignivex::chart::tools {

using Details = QList<std::pair<QString, QString>>;

// "Advance (°)", "RPM (rpm)", "GPI1 (0 or 1)"; MAP in the module's own units, with its range
// when the recording names it: "MAP (range 2: 0 to 60)", "MAP (range 0: no MAP sensor)".
QString channelTitle(const ValueSpec& entry, const Details& details);
// The unit after a value, with its space: " °", " rpm", "" for MAP and the inputs.
QString unitSuffix(const ValueSpec& entry);
// A mean of the channel as the windows show it: one decimal more than the chart's read-out.
QString meanText(const ValueSpec& entry, double mean);
// A mean as the exported CSV writes it: two decimals more than the file (an input: 3).
QString csvMeanText(const ValueSpec& entry, double mean);
// Time spent: "0.04 s", "59.9 s", "2:05", "1:02:03".
QString durationText(double seconds);

// From low (0) to high (1): blue, green, yellow, orange, red. Light enough for black text in
// the middle; `textOn` gives the colour that reads on it.
QColor heatColour(double t);
QColor textOn(const QColor& background);
// From low to high, evenly bright steps that read on white (dark violet to yellow).
QColor scaleColour(double t);
// How many points fell in one pixel: pale to dark blue, on a logarithmic scale.
QColor densityColour(std::uint32_t count, std::uint32_t most);

// A step of 1, 2 or 5 times a power of ten, at least `rough`.
double niceStep(double rough);
int decimalsFor(double step);
struct AxisRange {
    double low = 0, high = 1;
};
// A range that holds low..high, at least `minSpan` wide, padded a little and ending on whole
// steps of about `ticks` ticks.
AxisRange niceRange(double low, double high, double minSpan, int ticks);
// The tick values inside the range, at most `most` of them.
QList<double> ticksOf(const AxisRange& range, int most, double* step);

// Writes `bytes` to `path` whole or not at all; an empty text, or why it failed.
QString saveFile(const QString& path, const QByteArray& bytes);
// The box for a file that could not be written: names it and says what to do.
void sayNotWritten(MessageBoxes& boxes, const QString& what, const QString& path,
                   const QString& why, const QString& title);

}  // namespace ignivex::chart::tools
