#pragma once

#include "acquire/Sample.h"
#include "formula/FormulaChannels.h"
#include "series/ChartData.h"

#include <QStringList>
#include <optional>

namespace ignivex::chart {

// The samples of the live chart since the real-time view opened, in the same columns as a
// recording, times counted from the first sample. Bounded: the newest kKeptRows are kept (four
// hours at the fastest rate, days at the view's own pace), some 60 MB.
//
// Beside the module's columns it keeps the channels by formula and the rows a filter passes,
// worked out at a snapshot for the rows that came since the last one: each new row is evaluated
// with the rows before it that its functions over time read, so a frame costs the new rows and
// that history, not the rows in view.
class LiveSeries {
public:
    static constexpr std::size_t kKeptRows = 1'200'000;
    // Rows older than this behind the newest when they are first worked out (the window was
    // closed, or the formulas changed) are left without channels by formula and unshaded: the
    // longest view, so catching up never costs more than ten minutes of rows at once.
    static constexpr double kWorkedBackSeconds = 600;

    explicit LiveSeries(std::size_t keptRows = kKeptRows) : keptRows_(keptRows) {}

    void append(const Sample& sample);
    // A mark on the row of that sample (appended already): a recording's marks and alarms, as
    // the file has them. A sample no longer kept, or never appended, is marked nowhere.
    void markRow(const Sample& sample, const QString& text);
    void clear();
    // The module's channels only, as a recording of them would hold.
    const record::Table& table() const { return table_; }
    double latest() const { return table_.empty() ? 0 : table_.elapsed.back(); }
    double earliest() const { return table_.empty() ? 0 : table_.elapsed.front(); }
    // The rows from `from` on (and the one before, so the line enters the view), with the
    // channels by formula, to paint.
    std::shared_ptr<const ChartData> snapshot(double from);
    // The stretches the filter leaves out of those rows; nullptr without a filter.
    std::shared_ptr<const std::vector<Gap>> leftOut(double from);

    // The channels by formula to compute, for every row kept. Those that cannot be computed are
    // left out; what is wrong with each of them is returned, a line each.
    QStringList setChannels(const std::vector<formula::Definition>& definitions);
    // The filter to apply (nothing: none); what is wrong with its condition where it cannot be.
    std::optional<QString> setFilter(std::optional<formula::Filter> filter);
    const std::vector<formula::Definition>& channels() const { return definitions_; }

private:
    // A formula read once, with where each value it reads comes from: a module's channel (its
    // id), the rows' seconds (kSeconds) or a channel by formula (kComputed - its index).
    static constexpr int kSeconds = -1;
    static constexpr int kComputed = -2;
    struct Computing {
        formula::Formula formula;
        std::vector<int> sources;
        double historySeconds = 0;  // before a new row, what its functions over time read
        std::size_t historyRows = 1;
    };
    static const record::Table& plainTable();  // the module's channels, no rows
    std::optional<Computing> prepare(const QString& text) const;
    // Its values on the rows not yet worked out, from those before them that it reads.
    std::vector<double> newValues(const Computing& computing) const;
    std::size_t firstFrom(double from) const;
    void catchUp();
    void restart();

    record::Table table_;
    std::optional<Instant> start_;
    std::size_t keptRows_;

    std::vector<formula::Definition> definitions_;  // the sound ones
    std::vector<record::ChannelInfo> infos_;          // theirs, each after those it reads
    std::vector<Computing> computing_;               // one a channel, as infos_
    std::vector<std::vector<float>> columns_;        // one a channel, rows [0, done_)
    std::optional<Computing> condition_;             // the filter's
    double settleSeconds_ = 0;
    std::vector<std::uint8_t> passing_;  // rows [0, done_) when a filter is set
    double since_ = 0;                   // when the filter's condition last turned true
    bool lastOn_ = false;
    std::size_t done_ = 0;  // the rows worked out
};

}  // namespace ignivex::chart
