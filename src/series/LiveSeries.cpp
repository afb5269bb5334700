#include "series/LiveSeries.h"

#include "acquire/Channels.h"

#include <algorithm>

namespace ignivex::chart {

void LiveSeries::append(const Sample& s) {
    if (!start_)
        start_ = s.monotonic;
    record::Row row;
    static_cast<ChannelValues&>(row) = valuesOf(s);
    row.time = s.wallClock;
    row.elapsed = std::chrono::duration<double>(s.monotonic - *start_).count();
    row.status = s.end;
    if (!table_.empty() && row.elapsed < table_.elapsed.back())
        row.elapsed = table_.elapsed.back();
    table_.append(row);
    // The oldest rows go in batches, so dropping them costs little per sample.
    if (table_.size() > keptRows_ + keptRows_ / 8)
        table_.dropFront(table_.size() - keptRows_);
}

void LiveSeries::clear() {
    table_ = record::Table();
    start_.reset();
}

std::shared_ptr<const ChartData> LiveSeries::snapshot(double from) const {
    const auto& e = table_.elapsed;
    std::size_t first = std::size_t(std::lower_bound(e.begin(), e.end(), from) - e.begin());
    if (first > 0)
        --first;
    return makeChartData(table_.slice(first), false);
}

}  // namespace ignivex::chart
