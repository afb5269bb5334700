#pragma once
// A moving engine for the demo: a repeating cycle of idle, a rev up to about 6500 rpm, cruise and
// back to idle, with advance and MAP following load, battery excursions into both red bands of the
// battery gauge and the inputs toggling. Every value is a smooth function of time alone, so the
// same moment always reads the same and the cycle repeats exactly.

#include "Module.h"

namespace modsim {

inline constexpr double kEngineCycleSeconds = 24.0;

struct EngineState {
    double rpm;
    double load;  // 0 closed throttle .. 1 wide open
    double advanceDeg;
    double batteryVolts;
    double gpi3Volts;
    std::uint8_t gpiBits;
};

EngineState engineAt(double seconds);

// `base` with the moving channels (rpm, map, bat, adv, gpi, gpi3) taken from the engine.
Values engineValues(double seconds, Values base);

}  // namespace modsim
