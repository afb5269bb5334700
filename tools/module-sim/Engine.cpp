#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace modsim {

namespace {

struct Key {
    double t;
    double v;
};

// Eased interpolation between key points: each segment starts and ends with zero slope, so the
// needles accelerate and settle instead of moving at constant speed.
template <std::size_t N>
double track(const Key (&keys)[N], double t) {
    for (std::size_t i = 1; i < N; ++i) {
        if (t <= keys[i].t) {
            const Key& a = keys[i - 1];
            const Key& b = keys[i];
            const double x = (t - a.t) / (b.t - a.t);
            const double ease = (1 - std::cos(std::numbers::pi * x)) / 2;
            return a.v + (b.v - a.v) * ease;
        }
    }
    return keys[N - 1].v;
}

// Key points over one cycle; the first and last values match so the cycle joins up.
constexpr Key kRpm[] = {{0, 850},   {4, 850},   {7.5, 6500}, {9.5, 6500},
                        {12, 3000}, {17, 3200}, {20, 850},   {kEngineCycleSeconds, 850}};
constexpr Key kLoad[] = {{0, 0.18},
                         {4, 0.18},
                         {4.6, 0.95},
                         {7.5, 1.0},
                         {9.5, 0.9},
                         {10.2, 0.05},
                         {12, 0.05},
                         {12.8, 0.45},
                         {17, 0.5},
                         {17.6, 0.03},
                         {20, 0.1},
                         {21, 0.18},
                         {kEngineCycleSeconds, 0.18}};
// Mostly 13.8 V; a sag below 11 V and an over-voltage above 16 V, each held for a few seconds.
constexpr Key kBattery[] = {
    {0, 13.8},  {12.5, 13.8}, {13.3, 10.4}, {15.5, 10.4}, {16.3, 13.8},
    {20, 13.8}, {20.8, 16.5}, {22.5, 16.5}, {23.3, 13.8}, {kEngineCycleSeconds, 13.8}};

std::uint8_t toByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

EngineState engineAt(double seconds) {
    const double t = std::fmod(std::max(0.0, seconds), kEngineCycleSeconds);
    constexpr double tau = 2 * std::numbers::pi;
    EngineState s{};
    // A little unevenness so the tachometer never looks frozen.
    s.rpm = track(kRpm, t) + 12 * std::sin(tau * t / 0.8) + 8 * std::sin(tau * t / 3.0);
    s.load = std::clamp(track(kLoad, t), 0.0, 1.0);
    // More advance with speed, less with load, as an ignition map does.
    const double speed = std::clamp((s.rpm - 850) / 3650, 0.0, 1.0);
    s.advanceDeg = std::clamp(12 + 22 * speed - 10 * (s.load - 0.2), 5.0, 42.0);
    s.batteryVolts = track(kBattery, t) + 0.05 * std::sin(tau * t / 2.0);
    // GPI3 is one input read two ways: its digital bit is set while the analogue value is high.
    s.gpi3Volts = 2.5 + 2.0 * std::sin(tau * t / 12.0);
    const bool gpi1 = static_cast<int>(t / 3.0) % 2 == 1;
    const bool gpi2 = static_cast<int>(t / 4.0) % 2 == 1;
    const bool gpi3 = s.gpi3Volts > 2.5;
    s.gpiBits =
        static_cast<std::uint8_t>((gpi1 ? 0x04 : 0) | (gpi2 ? 0x08 : 0) | (gpi3 ? 0x10 : 0));
    return s;
}

Values engineValues(double seconds, Values v) {
    const EngineState s = engineAt(seconds);
    v.rpmCount = rpmToCount(s.rpm);
    v.map = toByte(20 + 225 * s.load);
    v.adv = toByte(s.advanceDeg / 0.17578);
    v.bat = toByte(s.batteryVolts * 255 / 18);
    v.gpi = s.gpiBits;
    v.gpi3 = toByte(s.gpi3Volts * 255 / 5);
    return v;
}

}  // namespace modsim
