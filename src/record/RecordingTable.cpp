#include "record/RecordingTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex::record {

namespace {

constexpr float kNotRead = std::numeric_limits<float>::quiet_NaN();

// A value a float cannot hold (1e300 in a file) is drawn as a gap, like one not read.
float cell(const std::optional<double>& v) {
    if (!v)
        return kNotRead;
    const float f = float(*v);
    return std::isfinite(f) ? f : kNotRead;
}

template <typename T>
void dropFrontOf(std::vector<T>& v, std::size_t count) {
    v.erase(v.begin(), v.begin() + std::ptrdiff_t(std::min(count, v.size())));
}

template <typename T>
std::vector<T> tailOf(const std::vector<T>& v, std::size_t first) {
    return std::vector<T>(v.begin() + std::ptrdiff_t(std::min(first, v.size())), v.end());
}

}  // namespace

ChannelInfo channelInfoOf(const ValueSpec& entry) {
    ChannelInfo c;
    c.column = QLatin1String(entry.column);
    c.name = QString::fromUtf8(entry.name);
    c.unit = QString::fromUtf8(entry.unit);
    c.decimals = entry.decimals;
    c.shownDecimals = entry.shownDecimals;
    c.rgb = entry.rgb;
    c.minSpan = entry.minSpan;
    c.kind = isInput(entry) ? ChannelKind::OnOff : ChannelKind::Value;
    c.source = ChannelSource::Module;
    c.module = entry.value;
    return c;
}

Table::Table() {
    for (const ValueSpec& entry : kValues)
        columns_.push_back(std::make_shared<Column>(Column{channelInfoOf(entry), {}}));
}

std::optional<ChannelId> Table::channelNamed(QStringView column) const {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (column == columns_[c]->info.column)
            return ChannelId(c);
    }
    return std::nullopt;
}

ChannelId Table::addChannel(ChannelInfo info, std::vector<float> values) {
    values.resize(size(), kNotRead);
    columns_.push_back(std::make_shared<Column>(Column{std::move(info), std::move(values)}));
    return ChannelId(columns_.size() - 1);
}

std::vector<float>& Table::writable(std::size_t c) {
    if (columns_[c].use_count() > 1)
        columns_[c] = std::make_shared<Column>(*columns_[c]);
    return columns_[c]->values;
}

void Table::reserve(std::size_t rows) {
    elapsed.reserve(rows);
    wallMs.reserve(rows);
    for (std::size_t c = 0; c < columns_.size(); ++c)
        writable(c).reserve(rows);
    status.reserve(rows);
}

void Table::append(const Row& row) {
    if (elapsed.empty())
        utcOffsetSeconds = row.time.offsetFromUtc();
    elapsed.push_back(row.elapsed);
    wallMs.push_back(row.time.toMSecsSinceEpoch());
    for (const ValueSpec& entry : kValues)
        writable(std::size_t(entry.value)).push_back(cell(valueOf(row, entry)));
    for (std::size_t c = kValueCount; c < columns_.size(); ++c)
        writable(c).push_back(kNotRead);
    if (!row.mark.isEmpty())
        userMarks.push_back({status.size(), row.mark});
    status.push_back(std::uint8_t(row.status));
}

void Table::append(const RowCells& row) {
    if (elapsed.empty())
        utcOffsetSeconds = row.utcOffsetSeconds;
    elapsed.push_back(row.elapsed);
    wallMs.push_back(row.wallMs);
    for (std::size_t i = 0; i < row.values.size(); ++i) {
        const double v = row.values[i];
        writable(i).push_back(std::isnan(v) ? kNotRead : cell(v));
    }
    for (std::size_t c = kValueCount; c < columns_.size(); ++c)
        writable(c).push_back(kNotRead);
    if (!row.mark.isEmpty()) {
        QString text = markText(row.mark);
        if (!text.isEmpty())
            userMarks.push_back({status.size(), std::move(text)});
    }
    status.push_back(std::uint8_t(row.status));
}

void Table::append(Table&& rest) {
    if (empty())
        utcOffsetSeconds = rest.utcOffsetSeconds;
    const std::size_t first = size();
    elapsed.insert(elapsed.end(), rest.elapsed.begin(), rest.elapsed.end());
    wallMs.insert(wallMs.end(), rest.wallMs.begin(), rest.wallMs.end());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        std::vector<float>& column = writable(c);
        if (c < rest.columns_.size())
            column.insert(column.end(), rest.columns_[c]->values.begin(),
                          rest.columns_[c]->values.end());
        column.resize(size(), kNotRead);
    }
    status.insert(status.end(), rest.status.begin(), rest.status.end());
    for (Mark& m : rest.userMarks)
        userMarks.push_back({first + m.row, std::move(m.text)});
    rest = Table();
}

Table Table::slice(std::size_t first) const {
    Table t;
    t.elapsed = tailOf(elapsed, first);
    t.wallMs = tailOf(wallMs, first);
    t.columns_.clear();
    for (const auto& c : columns_)
        t.columns_.push_back(std::make_shared<Column>(Column{c->info, tailOf(c->values, first)}));
    t.status = tailOf(status, first);
    for (const Mark& m : userMarks) {
        if (m.row >= first)
            t.userMarks.push_back({m.row - first, m.text});
    }
    t.utcOffsetSeconds = utcOffsetSeconds;
    return t;
}

void Table::dropFront(std::size_t count) {
    dropFrontOf(elapsed, count);
    dropFrontOf(wallMs, count);
    for (std::size_t c = 0; c < columns_.size(); ++c)
        dropFrontOf(writable(c), count);
    dropFrontOf(status, count);
    std::vector<Mark> kept;
    for (const Mark& m : userMarks) {
        if (m.row >= count)
            kept.push_back({m.row - count, m.text});
    }
    userMarks = std::move(kept);
}

double gapThresholdOf(const std::vector<double>& times) {
    // The median step between rows that move on. Steps take few values (times are written to
    // the millisecond), so a median of every 64th step is most often the median itself: two
    // counts prove it without copying millions of steps. Otherwise all steps are sorted out.
    auto forEachStep = [&times](std::size_t every, auto use) {
        for (std::size_t i = every; i < times.size(); i += every) {
            if (times[i] > times[i - 1])
                use(times[i] - times[i - 1]);
        }
    };
    std::vector<double> steps;
    forEachStep(64, [&](double step) { steps.push_back(step); });
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2),
                         steps.end());
        const double guess = steps[steps.size() / 2];
        std::size_t count = 0, below = 0, equal = 0;
        forEachStep(1, [&](double step) {
            ++count;
            below += step < guess;
            equal += step == guess;
        });
        if (below <= count / 2 && count / 2 < below + equal)
            return std::max(kGapFactor * guess, kGapMinimumSeconds);
    }
    steps.clear();
    steps.reserve(times.size());
    forEachStep(1, [&](double step) { steps.push_back(step); });
    if (steps.empty())
        return kGapMinimumSeconds;
    auto middle = steps.begin() + std::ptrdiff_t(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return std::max(kGapFactor * *middle, kGapMinimumSeconds);
}

}  // namespace ignivex::record
