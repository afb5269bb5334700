#include "link/Scaling.h"

#include "base/AppIdentity.h"
#include "recovery/CommError.h"

#include <cfenv>
#include <cmath>

namespace ignivex::scaling {

namespace {
struct MapRow {
    double slope;
    double offset;
    float limit;
};

MapRow mapRow(std::int16_t rangeCode) {
    switch (rangeCode) {
    case 1:
        return {5.577, 3.0509, 30.0f};
    case 2:
        return {11.812, 2.3634, 60.0f};
    default:
        return {18.5723, 0.3278, 90.0f};
    }
}

// Nearest tenth with halves to even, the rounding the module's MAP table was made with.
double roundTenthHalfEven(double value) {
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value * 10.0) / 10.0;
    std::fesetround(previous);
    return rounded;
}
}  // namespace

float rpm(std::uint8_t low, std::uint8_t high) {
    const std::int32_t count = std::int32_t(high) * 256 + low;
    if (count == 65535)
        return 0.0f;
    if (count == 0)
        throw CommError(kErrDivisionByZero, kAppName,
                        QStringLiteral("Division by zero: the module reported an engine-speed "
                                       "count of 0. Click Ignore to go on, or Abort to close "
                                       "the real-time view."));
    return static_cast<float>(3750000.0 / count);
}

float advance(std::uint8_t b) {
    return static_cast<float>(b * 0.17578);
}

float map(std::uint8_t b, std::int16_t rangeCode) {
    if (rangeCode == 0)
        return 0.0f;
    const MapRow row = mapRow(rangeCode);
    const double value = double(b) * 5.0 / 255.0 * row.slope + row.offset;
    const float rounded = static_cast<float>(roundTenthHalfEven(value));
    return rounded > row.limit ? row.limit : rounded;
}

float mapLimit(std::int16_t rangeCode) {
    return rangeCode == 0 ? 0.0f : mapRow(rangeCode).limit;
}

float battery(std::uint8_t b) {
    return static_cast<float>(double(b) * 18.0 / 255.0);
}

float gpi3(std::uint8_t b) {
    return static_cast<float>(double(b) * 5.0 / 255.0);
}

}  // namespace ignivex::scaling
