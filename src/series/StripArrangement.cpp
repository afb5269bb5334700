#include "series/StripArrangement.h"

#include "acquire/Channels.h"
#include "link/Scaling.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace ignivex::chart {

namespace {

std::optional<ChannelId> channelNamed(const ChannelList& channels, QStringView column) {
    for (std::size_t c = 0; c < channels.size(); ++c) {
        if (column == channels[c].column)
            return ChannelId(c);
    }
    return std::nullopt;
}

std::optional<FixedScale> scaleOf(QStringView text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    bool okLow = false, okHigh = false;
    const double low = text.left(colon).toDouble(&okLow);
    const double high = text.mid(colon + 1).toDouble(&okHigh);
    if (!okLow || !okHigh || !usable({low, high}))
        return std::nullopt;
    return FixedScale{low, high};
}

}  // namespace

ChannelList channelsOf(const record::Table& table) {
    ChannelList out;
    for (ChannelId c = 0; c < table.channelCount(); ++c)
        out.push_back(table.channel(c));
    return out;
}

const ChannelList& moduleChannels() {
    static const ChannelList kModule = channelsOf(record::Table());
    return kModule;
}

bool usable(const FixedScale& scale) {
    const double span = scale.high - scale.low;
    // Nothing the module reads is finer than a millionth, so a narrower scale is a slip of the
    // wheel, and one so narrow its ticks would fall below the doubles' range.
    return std::isfinite(span) && span >= 1e-6 &&
           span > std::max(std::abs(scale.low), std::abs(scale.high)) * 1e-6;
}

Arrangement Arrangement::standard(const ChannelList& channels) {
    Arrangement a;
    a.channels = channels;
    for (std::size_t c = 0; c < channels.size(); ++c)
        a.strips.push_back({{{ChannelId(c), channels[c]}}, std::nullopt});
    return a;
}

Arrangement Arrangement::fromText(const QString& text, const ChannelList& channels) {
    Arrangement a;
    a.channels = channels;
    std::vector<bool> used(channels.size(), false);
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype at = part.indexOf(QLatin1Char('@'));
        StripGroup group;
        if (at >= 0)
            group.fixed = scaleOf(QStringView(part).mid(at + 1));
        for (const QString& name : part.left(at).split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
            const std::optional<ChannelId> s =
                channelNamed(channels, QStringView(name).trimmed());
            if (s && !used[std::size_t(*s)]) {
                used[std::size_t(*s)] = true;
                group.series.push_back({*s, channels[std::size_t(*s)]});
            }
        }
        if (!group.series.empty())
            a.strips.push_back(std::move(group));
    }
    return a.strips.empty() ? standard(channels) : a;
}

Arrangement Arrangement::forChannels(const ChannelList& channels) const {
    return fromText(toText(), channels);
}

QString Arrangement::toText() const {
    QStringList parts;
    for (const StripGroup& group : strips) {
        QStringList names;
        for (const StripChannel& s : group.series)
            names << s.info.column;
        QString part = names.join(QLatin1Char('+'));
        if (group.fixed)
            part += QStringLiteral("@%1:%2")
                        .arg(group.fixed->low, 0, 'g', 10)
                        .arg(group.fixed->high, 0, 'g', 10);
        parts << part;
    }
    return parts.join(QLatin1Char(';'));
}

int Arrangement::stripOf(ChannelId channel) const {
    for (std::size_t i = 0; i < strips.size(); ++i) {
        for (const StripChannel& s : strips[i].series) {
            if (s.id == channel)
                return int(i);
        }
    }
    return -1;
}

bool Arrangement::operator==(const Arrangement& other) const {
    return toText() == other.toText();
}

std::vector<ChannelEntry> entriesOf(const Arrangement& arrangement) {
    std::vector<ChannelEntry> out;
    for (const StripGroup& group : arrangement.strips) {
        for (std::size_t i = 0; i < group.series.size(); ++i)
            out.push_back({group.series[i], true, i > 0});
    }
    for (std::size_t c = 0; c < arrangement.channels.size(); ++c) {
        if (arrangement.stripOf(ChannelId(c)) < 0)
            out.push_back({{ChannelId(c), arrangement.channels[c]}, false, false});
    }
    return out;
}

Arrangement fromEntries(const std::vector<ChannelEntry>& entries, const Arrangement& before) {
    Arrangement a;
    a.channels = before.channels;
    for (const ChannelEntry& e : entries) {
        if (!e.shown)
            continue;
        if (e.joinsAbove && !a.strips.empty())
            a.strips.back().series.push_back(e.series);
        else
            a.strips.push_back({{e.series}, std::nullopt});
    }
    for (StripGroup& group : a.strips) {
        for (const StripGroup& old : before.strips) {
            if (old.series.front() == group.series.front())
                group.fixed = old.fixed;
        }
    }
    return a;
}

QString labelOf(const record::ChannelInfo& channel, const QString& mapRange) {
    if (!channel.unit.isEmpty())
        return QStringLiteral("%1 (%2)").arg(channel.name, channel.unit);
    if (channel.is(Value::Map) && !mapRange.isEmpty())
        return QStringLiteral("%1 (%2)").arg(channel.name, mapRange);
    return channel.name;
}

QString mapRangeLabel(std::int16_t rangeCode) {
    if (rangeCode == 0)
        return {};
    return QStringLiteral("0 to %1").arg(double(scaling::mapLimit(rangeCode)));
}

}  // namespace ignivex::chart
