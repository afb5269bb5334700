#include "series/LiveSeries.h"

#include "acquire/Channels.h"

#include <algorithm>
#include <cmath>

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

void LiveSeries::clear() {
    table_ = record::Table();
    start_.reset();
    restart();
}

QStringList LiveSeries::setChannels(const std::vector<formula::Definition>& definitions) {
    const record::Table plain;
    const auto problems = formula::check(definitions, plain);
    QStringList out;
    std::vector<formula::Definition> sound;
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        if (problems[i])
            out << QStringLiteral("%1: %2").arg(definitions[i].name, problems[i]->message);
        else
            sound.push_back(definitions[i]);
    }
    // Those that read only sound ones are sound on their own: made once without rows, they
    // give the channels' descriptions in the order they are computed.
    record::Table made;
    if (const auto problem = formula::addChannels(made, sound)) {
        out << *problem;
        sound.clear();
    }
    definitions_ = std::move(sound);
    infos_.clear();
    for (record::ChannelId c = kValueCount; c < made.channelCount(); ++c)
        infos_.push_back(made.channel(c));
    restart();
    return out;
}

std::optional<QString> LiveSeries::setFilter(std::optional<formula::Filter> filter) {
    filter_.reset();
    if (filter) {
        record::Table made;
        formula::addChannels(made, definitions_);
        formula::Problem problem;
        if (!formula::rowsPassing(made, *filter, &problem)) {
            restart();
            return problem.message;
        }
        filter_ = std::move(filter);
    }
    restart();
    return std::nullopt;
}

double LiveSeries::lookback(const QString& text, const QStringList& names,
                            std::size_t* calls) const {
    const auto f = formula::Formula::read(text, names, nullptr);
    double seconds = 0;
    if (f) {
        for (const formula::TimeCall& call : f->calls()) {
            seconds = std::max(seconds, call.seconds);
            ++*calls;
        }
    }
    return seconds;
}

void LiveSeries::restart() {
    columns_.assign(infos_.size(), {});
    passing_.clear();
    since_ = 0;
    lastOn_ = false;
    done_ = 0;
    // A channel read by another is itself worked out over the history given to the new rows,
    // so the history is what the whole chain reads: the sum of each formula's.
    QStringList names = formula::channelNames(record::Table());
    for (const auto& d : definitions_)
        names << d.name;
    std::size_t calls = 0;
    historySeconds_ = 0;
    for (const auto& d : definitions_)
        historySeconds_ += lookback(d.formula, names, &calls);
    if (filter_)
        historySeconds_ += lookback(filter_->condition, names, &calls);
    historyRows_ = calls + 1;
}

void LiveSeries::catchUp() {
    const std::size_t rows = table_.size();
    if (done_ >= rows)
        return;
    if (definitions_.empty() && !filter_) {
        done_ = rows;
        return;
    }
    const auto& e = table_.elapsed;
    std::size_t first = std::size_t(
        std::lower_bound(e.begin(), e.end(), e[done_] - historySeconds_ - kEdgeSeconds) -
        e.begin());
    first = first > historyRows_ ? first - historyRows_ : 0;
    record::Table work = table_.slice(first);
    if (formula::addChannels(work, definitions_)) {
        // Only more rows than memory holds refuse sound channels: they are left out.
        definitions_.clear();
        infos_.clear();
        work = table_.slice(first);
    }
    columns_.resize(infos_.size());
    const std::size_t from = done_ - first;
    for (std::size_t j = 0; j < infos_.size(); ++j) {
        const auto& values = work.column(*work.channelNamed(infos_[j].column));
        columns_[j].insert(columns_[j].end(), values.begin() + std::ptrdiff_t(from), values.end());
    }
    if (filter_) {
        // The settle time counts from where the condition turned true, which may be long
        // before the history: it is carried from row to row here rather than worked out again.
        formula::Filter condition = *filter_;
        condition.settleSeconds = 0;
        const auto on = formula::rowsPassing(work, condition, nullptr);
        for (std::size_t r = done_; r < rows; ++r) {
            const bool now = on && (*on)[r - first];
            if (now && !lastOn_)
                since_ = e[r];
            passing_.push_back(now && e[r] - since_ >= filter_->settleSeconds - kTimeRoom);
            lastOn_ = now;
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
    if (!filter_)
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
