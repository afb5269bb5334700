#pragma once

#include "acquire/Sample.h"
#include "chart/ChartData.h"

#include <optional>

namespace ignivex::chart {

// The samples of the live chart: the last ten minutes (its widest view), in the same columns
// as a recording, times counted from the first sample.
class LiveSeries {
public:
    static constexpr double kKeptSeconds = 600 + 5;

    void append(const Sample& sample);
    void clear();
    const record::Table& table() const { return table_; }
    double latest() const { return table_.empty() ? 0 : table_.elapsed.back(); }
    // The rows from `from` on (and the one before, so the line enters the view), to paint.
    std::shared_ptr<const ChartData> snapshot(double from) const;

private:
    record::Table table_;
    std::optional<Instant> start_;
    std::size_t stale_ = 0;  // rows at the front older than kKeptSeconds
};

}  // namespace ignivex::chart
