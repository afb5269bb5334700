#pragma once

#include <QColor>
#include <QList>
#include <cstdint>

// The colour scales and an axis's tick steps, shared by the strips and the tool windows.
namespace ignivex::chart::tools {

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

}  // namespace ignivex::chart::tools
