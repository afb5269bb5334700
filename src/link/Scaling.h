#pragma once

#include <cstdint>

namespace ignivex::scaling {

// Conversions of the module's raw replies into display values. Each is computed in double
// precision and turned into single precision as its last step; only MAP rounds.

// Engine speed from the two reply bytes (low byte first). A count of 65535 means a stopped
// engine; a count of 0 cannot be divided and throws the division-by-zero error.
float rpm(std::uint8_t low, std::uint8_t high);

// Ignition advance: b x 0.17578, not 45/256.
float advance(std::uint8_t b);

// Manifold pressure for a MAP sensor range code: 0 gives 0; 1 and 2 their rows; 3 and every
// other code the 0..90 row. Rounded to a tenth (halves to even), then held at the range's top.
float map(std::uint8_t b, std::int16_t rangeCode);

// The upper limit of a range code's MAP scale (0 for no sensor).
float mapLimit(std::int16_t rangeCode);

// Battery volts: b x 18 / 255.
float battery(std::uint8_t b);

// GPI3 analogue volts: b x 5 / 255.
float gpi3(std::uint8_t b);

}  // namespace ignivex::scaling
