#include "watch/Conditions.h"

#include "acquire/Channels.h"

#include <algorithm>
#include <cmath>

namespace ignivex::watch {

namespace {
// Elapsed seconds are compared as written, to the millisecond: a little more history than the
// seconds a function looks back makes sure the row at the edge is there.
constexpr double kEdgeSeconds = 0.01;
// Rows past the history are dropped in batches, so dropping costs little a row.
constexpr std::size_t kDropBatch = 256;

const record::Table& plainTable() {
    static const record::Table plain;
    return plain;
}
}  // namespace

QStringList Conditions::setChannels(const std::vector<formula::Definition>& definitions) {
    const formula::SoundChannels sound = formula::soundChannels(definitions);
    const record::Table& made = sound.made;
    infos_.clear();
    channels_.clear();
    conditions_.clear();
    for (record::ChannelId c = kValueCount; c < made.channelCount(); ++c) {
        const auto d = std::find_if(sound.definitions.begin(), sound.definitions.end(),
                                    [&](const auto& d) { return d.name == made.channel(c).column; });
        auto computing = prepare(d->formula, nullptr);
        if (!computing)
            break;
        infos_.push_back(made.channel(c));
        channels_.push_back(std::move(*computing));
    }
    restart();
    return sound.problems;
}

std::optional<formula::Problem> Conditions::add(const QString& condition) {
    formula::Problem problem;
    auto computing = prepare(condition, &problem);
    if (!computing)
        return problem;
    conditions_.push_back(std::move(*computing));
    verdicts_.assign(conditions_.size(), Verdict::Unknown);
    return std::nullopt;
}

std::optional<formula::Problem> Conditions::problemOf(
    const QString& condition, const std::vector<formula::Definition>& channels) {
    Conditions c;
    c.setChannels(channels);
    return c.add(condition);
}

void Conditions::restart() {
    rows_ = record::Table();
    computed_.assign(infos_.size(), {});
    first_.reset();
    verdicts_.assign(conditions_.size(), Verdict::Unknown);
}

QStringList Conditions::names() const {
    QStringList names = formula::channelNames(plainTable());
    for (const auto& info : infos_)
        names << info.column;
    return names;
}

std::optional<Conditions::Computing> Conditions::prepare(const QString& text,
                                                         formula::Problem* problem) const {
    const QStringList all = names();
    auto f = formula::Formula::read(text, all, problem);
    if (!f)
        return std::nullopt;
    Computing c{std::move(*f), {}, 0, 1};
    // The module's channels, then elapsed_s, then those by formula.
    const int plain = plainTable().channelCount();
    for (const QString& name : c.formula.reads()) {
        const int at = int(all.indexOf(name));
        c.sources.push_back(at < plain ? at : at == plain ? kSeconds : kComputed - (at - plain - 1));
    }
    for (const formula::TimeCall& call : c.formula.calls()) {
        c.historySeconds = std::max(c.historySeconds, call.seconds);
        ++c.historyRows;
    }
    return c;
}

double Conditions::newest(const Computing& c) const {
    const auto& e = rows_.elapsed;
    // The rows its functions over time read before the newest, and the newest.
    std::size_t first = std::size_t(
        std::lower_bound(e.begin(), e.end(), e.back() - c.historySeconds - kEdgeSeconds) -
        e.begin());
    first = first > c.historyRows ? first - c.historyRows : 0;
    const formula::Column seconds{nullptr, e.data() + first, 3};
    formula::Inputs inputs{e.size() - first, seconds, {}};
    for (const int s : c.sources) {
        if (s == kSeconds) {
            inputs.channels.push_back(seconds);
        } else if (s <= kComputed) {
            const auto j = std::size_t(kComputed - s);
            inputs.channels.push_back({computed_[j].data() + first, nullptr, infos_[j].decimals});
        } else {
            inputs.channels.push_back({rows_.column(record::ChannelId(s)).data() + first, nullptr,
                                       rows_.channel(record::ChannelId(s)).decimals});
        }
    }
    return c.formula.evaluate(inputs).back();
}

const std::vector<Verdict>& Conditions::append(const Sample& s) {
    if (!first_)
        first_ = s.monotonic;
    record::Row row;
    static_cast<ChannelValues&>(row) = valuesOf(s);
    row.time = s.wallClock;
    row.elapsed = std::max(std::chrono::duration<double>(s.monotonic - *first_).count(),
                           rows_.empty() ? 0.0 : rows_.elapsed.back());
    row.status = s.end;
    rows_.append(row);
    // In the order they are computed: a channel read by another has its value first.
    for (std::size_t j = 0; j < channels_.size(); ++j)
        computed_[j].push_back(float(newest(channels_[j])));
    for (std::size_t i = 0; i < conditions_.size(); ++i) {
        const double v = newest(conditions_[i]);
        verdicts_[i] = std::isnan(v) ? Verdict::Unknown : v != 0 ? Verdict::True : Verdict::False;
    }
    trim();
    return verdicts_;
}

void Conditions::trim() {
    double seconds = 0;
    std::size_t rows = 1;
    for (const auto* list : {&channels_, &conditions_}) {
        for (const Computing& c : *list) {
            seconds = std::max(seconds, c.historySeconds);
            rows = std::max(rows, c.historyRows);
        }
    }
    // A channel read through another's history needs the history of both: the sum is kept.
    seconds = seconds * double(channels_.size() + 1) + kEdgeSeconds;
    rows *= channels_.size() + 1;
    const auto& e = rows_.elapsed;
    std::size_t first =
        std::size_t(std::lower_bound(e.begin(), e.end(), e.back() - seconds) - e.begin());
    first = first > rows ? first - rows : 0;
    if (first < kDropBatch)
        return;
    rows_.dropFront(first);
    for (auto& c : computed_)
        c.erase(c.begin(), c.begin() + std::ptrdiff_t(first));
}

}  // namespace ignivex::watch
