#include "series/LiveSeries.h"

#include "acquire/Channels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex::chart {

namespace {

// Elapsed seconds are compared as written, to the millisecond: a little more history than the
// seconds given makes sure the row at the edge is there.
constexpr double kEdgeSeconds = 0.01;
constexpr double kTimeRoom = 1e-9;

template <typename T>
void dropFrontOf(std::vector<T>& v, std::size_t count) {
    v.erase(v.begin(), v.begin() + std::ptrdiff_t(std::min(count, v.size())));
}

}  // namespace

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
    if (table_.size() > keptRows_ + keptRows_ / 8) {
        const std::size_t count = table_.size() - keptRows_;
        table_.dropFront(count);
        for (auto& c : columns_)
            dropFrontOf(c, count);
        dropFrontOf(passing_, count);
        done_ = done_ > count ? done_ - count : 0;
    }
}

void LiveSeries::markRow(const Sample& sample, const QString& text) {
    if (!start_ || table_.empty() || text.isEmpty())
        return;
    // The row is found by its time, as append made it: rows never go back in time, and a
    // sample's time is its own, so the last row at that time is the sample's.
    const double elapsed = std::chrono::duration<double>(sample.monotonic - *start_).count();
    const auto& t = table_.elapsed;
    const auto after = std::upper_bound(t.begin(), t.end(), elapsed + kTimeRoom);
    if (after == t.begin() || *(after - 1) < elapsed - kTimeRoom)
        return;
    const std::size_t row = std::size_t(after - t.begin()) - 1;
    // Marks stay in row order, which the painter's search needs.
    auto& marks = table_.userMarks;
    const auto at = std::upper_bound(marks.begin(), marks.end(), row,
                                     [](std::size_t r, const auto& m) { return r < m.row; });
    marks.insert(at, {row, text});
}

void LiveSeries::clear() {
    table_ = record::Table();
    start_.reset();
    restart();
}

QStringList LiveSeries::setChannels(const std::vector<formula::Definition>& definitions) {
    formula::SoundChannels sound = formula::soundChannels(definitions);
    const QStringList out = sound.problems;
    const record::Table made = std::move(sound.made);
    definitions_ = std::move(sound.definitions);
    infos_.clear();
    computing_.clear();
    for (record::ChannelId c = kValueCount; c < made.channelCount(); ++c) {
        const auto d = std::find_if(definitions_.begin(), definitions_.end(),
                                    [&](const auto& d) { return d.name == made.channel(c).column; });
        // Each reads only the module's channels and those before it, already in infos_.
        auto computing = prepare(d->formula);
        if (!computing)
            break;
        infos_.push_back(made.channel(c));
        computing_.push_back(std::move(*computing));
    }
    restart();
    return out;
}

std::optional<QString> LiveSeries::setFilter(std::optional<formula::Filter> filter) {
    condition_.reset();
    settleSeconds_ = 0;
    restart();
    if (!filter)
        return std::nullopt;
    record::Table made;
    formula::addChannels(made, definitions_);
    formula::Problem problem;
    if (!formula::rowsPassing(made, *filter, &problem))
        return problem.message;
    condition_ = prepare(filter->condition);
    settleSeconds_ = filter->settleSeconds;
    return std::nullopt;
}

std::optional<LiveSeries::Computing> LiveSeries::prepare(const QString& text) const {
    QStringList names = formula::channelNames(plainTable());
    for (const auto& info : infos_)
        names << info.column;
    auto f = formula::Formula::read(text, names, nullptr);
    if (!f)
        return std::nullopt;
    Computing c{std::move(*f), {}, 0, 1};
    for (const QString& name : c.formula.reads()) {
        if (const auto id = plainTable().channelNamed(name))
            c.sources.push_back(*id);
        else if (names.indexOf(name) < plainTable().channelCount() + 1)
            c.sources.push_back(kSeconds);
        else
            c.sources.push_back(kComputed - int(names.indexOf(name)) +
                                plainTable().channelCount() + 1);
    }
    for (const formula::TimeCall& call : c.formula.calls()) {
        c.historySeconds = std::max(c.historySeconds, call.seconds);
        ++c.historyRows;
    }
    return c;
}

const record::Table& LiveSeries::plainTable() {
    static const record::Table plain;
    return plain;
}

void LiveSeries::restart() {
    columns_.assign(infos_.size(), {});
    passing_.clear();
    since_ = 0;
    lastOn_ = false;
    done_ = 0;
}

std::vector<double> LiveSeries::newValues(const Computing& c) const {
    const auto& e = table_.elapsed;
    std::size_t first = std::size_t(
        std::lower_bound(e.begin(), e.end(), e[done_] - c.historySeconds - kEdgeSeconds) -
        e.begin());
    first = first > c.historyRows ? first - c.historyRows : 0;
    const std::size_t rows = e.size() - first;
    // Read where they lie, as the file would write them, as a recording's formulas read them.
    const formula::Column seconds{nullptr, e.data() + first, 3};
    formula::Inputs inputs{rows, seconds, {}};
    for (const int s : c.sources) {
        if (s == kSeconds) {
            inputs.channels.push_back(seconds);
            continue;
        }
        const bool computed = s <= kComputed;
        const auto& column = computed ? columns_[std::size_t(kComputed - s)]
                                      : table_.column(record::ChannelId(s));
        const int decimals = computed ? infos_[std::size_t(kComputed - s)].decimals
                                      : table_.channel(record::ChannelId(s)).decimals;
        inputs.channels.push_back({column.data() + first, nullptr, decimals});
    }
    std::vector<double> out = c.formula.evaluate(inputs);
    out.erase(out.begin(), out.begin() + std::ptrdiff_t(done_ - first));
    return out;
}

void LiveSeries::catchUp() {
    const std::size_t rows = table_.size();
    if (done_ >= rows)
        return;
    const auto& e = table_.elapsed;
    const double oldest = e.back() - kWorkedBackSeconds;
    if (e[done_] < oldest) {
        const auto skip = std::size_t(std::lower_bound(e.begin(), e.end(), oldest) - e.begin());
        for (auto& c : columns_)
            c.resize(skip, std::numeric_limits<float>::quiet_NaN());
        if (condition_)
            passing_.resize(skip, 1);
        lastOn_ = false;
        done_ = skip;
    }
    // In the order they are computed: a channel read by another has its new values first.
    for (std::size_t j = 0; j < computing_.size(); ++j) {
        const std::vector<double> values = newValues(computing_[j]);
        columns_[j].insert(columns_[j].end(), values.begin(), values.end());
    }
    if (condition_) {
        // The settle time counts from where the condition turned true, which may be long
        // before the history: it is carried from row to row rather than worked out again.
        const std::vector<double> verdict = newValues(*condition_);
        for (std::size_t r = done_; r < rows; ++r) {
            const double v = verdict[r - done_];
            const bool on = !std::isnan(v) && v != 0;
            if (on && !lastOn_)
                since_ = e[r];
            passing_.push_back(on && e[r] - since_ >= settleSeconds_ - kTimeRoom);
            lastOn_ = on;
        }
    }
    done_ = rows;
}

std::size_t LiveSeries::firstFrom(double from) const {
    const auto& e = table_.elapsed;
    std::size_t first = std::size_t(std::lower_bound(e.begin(), e.end(), from) - e.begin());
    return first > 0 ? first - 1 : 0;
}

std::shared_ptr<const ChartData> LiveSeries::snapshot(double from) {
    catchUp();
    const std::size_t first = firstFrom(from);
    record::Table rows = table_.slice(first);
    for (std::size_t j = 0; j < infos_.size(); ++j)
        rows.addChannel(infos_[j], std::vector<float>(columns_[j].begin() + std::ptrdiff_t(first),
                                                      columns_[j].end()));
    return makeChartData(std::move(rows), false);
}

std::shared_ptr<const std::vector<Gap>> LiveSeries::leftOut(double from) {
    catchUp();
    if (!condition_)
        return nullptr;
    auto out = std::make_shared<std::vector<Gap>>();
    const auto& t = table_.elapsed;
    // A stretch runs from its first row left out to the next row that passes.
    for (std::size_t i = firstFrom(from); i < passing_.size();) {
        if (passing_[i]) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        while (i < passing_.size() && !passing_[i])
            ++i;
        out->push_back({t[first], i < t.size() ? t[i] : t.back()});
    }
    return out;
}

}  // namespace ignivex::chart
