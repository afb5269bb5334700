#include "chart/LiveSeries.h"

#include <algorithm>

namespace ignivex::chart {

namespace {

std::optional<double> widen(const std::optional<float>& v) {
    return v ? std::optional<double>(*v) : std::nullopt;
}

std::optional<bool> bit(const std::optional<std::int16_t>& bits, std::int16_t mask) {
    return bits ? std::optional<bool>((*bits & mask) == mask) : std::nullopt;
}

}  // namespace

void LiveSeries::append(const Sample& s) {
    if (!start_)
        start_ = s.monotonic;
    record::Row row;
    row.time = s.wallClock;
    row.elapsed = std::chrono::duration<double>(s.monotonic - *start_).count();
    row.rpm = widen(s.rpm);
    row.advance = widen(s.advance);
    row.map = widen(s.map);
    row.battery = widen(s.battery);
    row.gpi3Volts = widen(s.gpi3Analog);
    row.gpi1 = bit(s.gpiBits, 0x04);
    row.gpi2 = bit(s.gpiBits, 0x08);
    row.gpi3 = bit(s.gpiBits, 0x10);
    row.status = s.end;
    if (!table_.empty() && row.elapsed < table_.elapsed.back())
        row.elapsed = table_.elapsed.back();
    table_.append(row);
    // Old rows go in batches, so dropping them costs little per sample.
    const auto& e = table_.elapsed;
    while (stale_ < e.size() && e.back() - e[stale_] > kKeptSeconds)
        ++stale_;
    if (stale_ > 1024 && stale_ > e.size() / 8) {
        table_.dropFront(stale_);
        stale_ = 0;
    }
}

void LiveSeries::clear() {
    table_ = record::Table();
    start_.reset();
    stale_ = 0;
}

std::shared_ptr<const ChartData> LiveSeries::snapshot(double from) const {
    const auto& e = table_.elapsed;
    std::size_t first = std::size_t(std::lower_bound(e.begin(), e.end(), from) - e.begin());
    if (first > 0)
        --first;
    return makeChartData(table_.slice(first), false);
}

}  // namespace ignivex::chart
