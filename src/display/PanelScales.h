#pragma once

#include "display/DialGauge.h"
#include "display/LinearGauge.h"

#include <QColor>
#include <array>
#include <cstdint>

namespace ignivex {

// The scales of the real-time panel's gauges, in one place for the panel and its tests. Each
// scale reaches a little past its labelled ticks, so a reading just outside them still shows.
struct LinearScale {
    const char* objectName;
    const char* caption;
    int leftTwips;  // all four stand at the same top and height
    double scaleMin;
    double scaleMax;
    double labelEnd;  // labels run from 0 to here
    double step;      // between labelled ticks
    // Up to three bands: black where the reading is normal, red where it is not.
    struct Band {
        double from;
        double to;
        bool red;
    };
    std::array<Band, 3> bands;
    int bandCount;
};

inline constexpr int kGaugeTopTwips = 240;
inline constexpr int kGaugeWidthTwips = 855;
inline constexpr int kGaugeHeightTwips = 3735;

// MAP starts on the layout of range code 1, which the opening applies again.
inline constexpr LinearScale kMapScale{"gauMAP", "MAP", 360, -1, 31, 30, 5, {{{-1, 31, false}}}, 1};
inline constexpr LinearScale kAdvanceScale{
    "gauAdv", "ADV", 5400, -2, 47, 45, 5, {{{-2, 47, false}}}, 1};
inline constexpr LinearScale kGpi3Scale{
    "gauGPI3A", "GPI3A", 6840, -0.2, 5.2, 5, 0.5, {{{-0.2, 5.2, false}}}, 1};
// Below 11 V and above 16 V the battery reads in red.
inline constexpr LinearScale kBatteryScale{"gauBatVolts",
                                           "BAT V",
                                           7800,
                                           -1,
                                           19,
                                           18,
                                           2,
                                           {{{-1, 11, true}, {11, 16, false}, {16, 19, true}}},
                                           3};

// How the opening lays the MAP gauge out for the module's sensor. Range 3 reads up to 90 yet
// keeps the 0..60 scale of range 2.
struct MapLayout {
    std::int16_t rangeLow;
    std::int16_t rangeHigh;
    std::int16_t labelStart;
    std::int16_t labelEnd;
    std::int16_t step;
};
inline constexpr MapLayout kMapLayoutRange1{-1, 31, 0, 30, 5};
inline constexpr MapLayout kMapLayoutRange2And3{-1, 61, 0, 60, 10};

// The tachometer, in thousands of rpm: amber from 7.0, red from 7.5, scale to 10.
inline constexpr double kTachWarningStart = 7.0;
inline constexpr double kTachRedlineStart = 7.5;
inline constexpr std::int16_t kTachScaleMaximum = 10;
// The needle width written on every speed update and on a lost link.
inline constexpr std::int16_t kTachNeedleWidth = 3;

// The gauge bands of a scale, in the gauge's own terms.
QList<GaugeBand> bandsOf(const LinearScale& scale);

// The settings the opening of the view writes, in their order: the MAP gauge for the module's
// sensor range (hidden without a sensor), and the tachometer's arcs and scale.
void layOutMapGauge(LinearGauge& gauge, std::int16_t rangeCode);
void setUpTachometer(DialGauge& dial);

}  // namespace ignivex
