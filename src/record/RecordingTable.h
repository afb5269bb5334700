#pragma once

#include "record/ChannelInfo.h"
#include "record/RecordFormat.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ignivex::record {

// Rows of a recording held in columns, the shape a chart reads them in: one column of times and
// one of floats per channel, a value not read being NaN (the inputs are 0, 1 or NaN). About 50
// bytes a row, so an hour at the fastest rate is some 15 MB. A copy shares the channels'
// columns until either changes them, so a channel is added to a recording shown without
// copying its rows.
class Table {
public:
    Table();  // the module's channels, no rows
    std::size_t size() const { return elapsed.size(); }
    bool empty() const { return elapsed.empty(); }
    void reserve(std::size_t rows);
    void append(const Row& row);
    void append(const RowCells& row);
    // Another table's rows after these (a recording read in pieces).
    void append(Table&& rest);
    // The rows from `first` to the end, as a table of their own (the live chart's view).
    Table slice(std::size_t first) const;
    // Drops the first `count` rows.
    void dropFront(std::size_t count);

    int channelCount() const { return int(columns_.size()); }
    const ChannelInfo& channel(ChannelId c) const { return columns_[std::size_t(c)]->info; }
    // The channel of that column name ("rpm", or a computed channel's), if any.
    std::optional<ChannelId> channelNamed(QStringView column) const;
    const std::vector<float>& column(ChannelId c) const {
        return columns_[std::size_t(c)]->values;
    }
    const std::vector<float>& column(Value v) const { return column(channelOf(v)); }
    // A channel with a value a row (NaN where it has none) after the others; its id.
    ChannelId addChannel(ChannelInfo info, std::vector<float> values);

    std::vector<double> elapsed;  // seconds since the recording began, never decreasing
    std::vector<qint64> wallMs;   // the row's local time, as milliseconds since the epoch
    std::vector<std::uint8_t> status;  // Sample::End
    // The user's marks, few among many rows: the row each is on and its text.
    struct Mark {
        std::size_t row;
        QString text;
    };
    std::vector<Mark> userMarks;
    int utcOffsetSeconds = 0;  // of the first row: the times are shown in it

private:
    struct Column {
        ChannelInfo info;
        std::vector<float> values;
    };
    // The column to change, made the table's own first if a copy shares it.
    std::vector<float>& writable(std::size_t c);

    std::vector<std::shared_ptr<Column>> columns_;
};

// A value as the file wrote it, from the float the table holds: rounded in double to the
// channel's decimals, so 9.7 in the file is 9.7 here (the float is 9.6999998) and compares,
// bins and sums as the file's own value. Exact while a float's step is under half the last
// decimal: below 2^20 for one decimal, 2^14 for three, which every value the module's scaling
// gives stays under (an engine speed above 2^20 rpm is a whole number). A figure of its own
// (a mean) is rounded the same way to the decimals it is written with.
inline constexpr double kDecimalScale[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6};

// The value in units of its last decimal (13.835 V with three: 13835), a whole number, so sums
// of many are exact. Rounded by adding and taking away 1.5 x 2^52, where a double's step is 1,
// rather than by std::round, a library call that made the statistics of a long recording twice
// as slow. From 2^51 on a double is whole already; NaN fails the test and stays NaN.
inline double writtenUnits(double v, int decimals) {
    constexpr double kWhole = 0x1.8p52;
    const double x = v * kDecimalScale[decimals];
    return std::abs(x) < 0x1p51 ? (x + kWhole) - kWhole : x;
}

inline double asWritten(double v, int decimals) {
    return writtenUnits(v, decimals) / kDecimalScale[decimals];
}

inline double asWritten(float v, const ValueSpec& entry) {
    return asWritten(v, entry.decimals);
}

inline double asWritten(float v, const ChannelInfo& channel) {
    return asWritten(v, channel.decimals);
}

// Two rows further apart than this many times the usual interval, and more than the minimum,
// stand either side of a gap: at 2 rows a second a gap is 1.5 s or more, at the fastest rate 1 s.
inline constexpr double kGapFactor = 3.0;
inline constexpr double kGapMinimumSeconds = 1.0;

// The shortest step between two rows that is a gap, for rows at these times.
double gapThresholdOf(const std::vector<double>& times);

}  // namespace ignivex::record
