#include "series/Scales.h"

#include <algorithm>
#include <cmath>

namespace ignivex::chart::tools {

namespace {

QColor between(const QList<QColor>& stops, double t) {
    t = std::clamp(std::isfinite(t) ? t : 0.5, 0.0, 1.0) * double(stops.size() - 1);
    const int i = std::min(int(t), int(stops.size()) - 2);
    const double f = t - i;
    const QColor& a = stops[i];
    const QColor& b = stops[i + 1];
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f),
                            float(a.greenF() + (b.greenF() - a.greenF()) * f),
                            float(a.blueF() + (b.blueF() - a.blueF()) * f));
}

}  // namespace

QColor heatColour(double t) {
    static const QList<QColor> stops = {QColor(0x6f, 0x9c, 0xe0), QColor(0x9c, 0xd8, 0x8f),
                                        QColor(0xf6, 0xe8, 0x6a), QColor(0xf3, 0xa0, 0x52),
                                        QColor(0xdc, 0x50, 0x40)};
    return between(stops, t);
}

QColor textOn(const QColor& background) {
    const double luminance =
        0.299 * background.redF() + 0.587 * background.greenF() + 0.114 * background.blueF();
    return luminance < 0.5 ? Qt::white : Qt::black;
}

QColor scaleColour(double t) {
    static const QList<QColor> stops = {QColor(0x44, 0x01, 0x54), QColor(0x3b, 0x52, 0x8b),
                                        QColor(0x21, 0x91, 0x8c), QColor(0x5e, 0xc9, 0x62),
                                        QColor(0xe0, 0xc8, 0x10)};
    return between(stops, t);
}

QColor densityColour(std::uint32_t count, std::uint32_t most) {
    static const QList<QColor> stops = {QColor(0x8c, 0xb8, 0xe0), QColor(0x3a, 0x78, 0xc0),
                                        QColor(0x08, 0x30, 0x6b)};
    if (most <= 1)
        return stops.front();
    return between(stops, std::log(double(count)) / std::log(double(most)));
}

double niceStep(double rough) {
    if (!(rough > 0) || !std::isfinite(rough))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    // At the ends of the doubles' range a round step underflows to zero or overflows: the rough
    // step is then the only one there is.
    if (!(power > 0) || !std::isfinite(10 * power))
        return rough;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough * 0.999)
            return m * power;
    }
    return 10 * power;
}

int decimalsFor(double step) {
    // A double carries 17 digits; more decimals than that print nothing new.
    if (!(step > 0) || step >= 1)
        return 0;
    return std::min(int(std::ceil(-std::log10(step) - 1e-9)), 17);
}

AxisRange niceRange(double low, double high, double minSpan, int ticks) {
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) {
        low = 0;
        high = minSpan;
    }
    if (high - low < minSpan) {
        const double middle = (low + high) / 2;
        low = middle - minSpan / 2;
        high = middle + minSpan / 2;
    }
    // A little room at the ends, but an axis of values that are never negative stays so.
    const double pad = (high - low) * 0.03;
    const double from = low >= 0 ? std::max(low - pad, 0.0) : low - pad;
    const double to = high <= 0 ? std::min(high + pad, 0.0) : high + pad;
    const double step = niceStep((to - from) / std::max(ticks, 1));
    return {std::floor(from / step) * step, std::ceil(to / step) * step};
}

QList<double> ticksOf(const AxisRange& range, int most, double* step) {
    const double width = range.high - range.low;
    double s = niceStep(width / std::max(most, 1));
    while (width / s > most)
        s = niceStep(s * 1.01);
    QList<double> ticks;
    for (double k = std::ceil(range.low / s - 1e-9); k * s <= range.high + s * 1e-9; k += 1)
        ticks << (std::abs(k) < 0.5 ? 0.0 : k * s);
    if (step)
        *step = s;
    return ticks;
}

}  // namespace ignivex::chart::tools
