#pragma once

#include "acquire/Sample.h"
#include "series/ChartData.h"

#include <optional>

namespace ignivex::chart {

// The samples of the live chart since the real-time view opened, in the same columns as a
// recording, times counted from the first sample. Bounded: the newest kKeptRows are kept (four
// hours at the fastest rate, days at the view's own pace), some 60 MB.
class LiveSeries {
public:
    static constexpr std::size_t kKeptRows = 1'200'000;

    explicit LiveSeries(std::size_t keptRows = kKeptRows) : keptRows_(keptRows) {}

    void append(const Sample& sample);
    void clear();
    const record::Table& table() const { return table_; }
    double latest() const { return table_.empty() ? 0 : table_.elapsed.back(); }
    double earliest() const { return table_.empty() ? 0 : table_.elapsed.front(); }
    // The rows from `from` on (and the one before, so the line enters the view), to paint.
    std::shared_ptr<const ChartData> snapshot(double from) const;

private:
    record::Table table_;
    std::optional<Instant> start_;
    std::size_t keptRows_;
};

}  // namespace ignivex::chart
