#include "series/StripArrangement.h"

#include "acquire/Channels.h"
#include "link/Scaling.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace ignivex::chart {

namespace {

std::optional<Series> seriesNamed(QStringView column) {
    for (const ValueSpec& entry : kValues) {
        if (column == QLatin1String(entry.column))
            return entry.value;
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

bool usable(const FixedScale& scale) {
    const double span = scale.high - scale.low;
    // Nothing the module reads is finer than a millionth, so a narrower scale is a slip of the
    // wheel, and one so narrow its ticks would fall below the doubles' range.
    return std::isfinite(span) && span >= 1e-6 &&
           span > std::max(std::abs(scale.low), std::abs(scale.high)) * 1e-6;
}

Arrangement Arrangement::standard() {
    Arrangement a;
    for (const ValueSpec& entry : kValues)
        a.strips.push_back({{entry.value}, std::nullopt});
    return a;
}

Arrangement Arrangement::fromText(const QString& text) {
    Arrangement a;
    std::vector<bool> used(kSeriesCount, false);
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype at = part.indexOf(QLatin1Char('@'));
        StripGroup group;
        if (at >= 0)
            group.fixed = scaleOf(QStringView(part).mid(at + 1));
        for (const QString& name : part.left(at).split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
            const std::optional<Series> s = seriesNamed(QStringView(name).trimmed());
            if (s && !used[std::size_t(*s)]) {
                used[std::size_t(*s)] = true;
                group.series.push_back(*s);
            }
        }
        if (!group.series.empty())
            a.strips.push_back(std::move(group));
    }
    return a.strips.empty() ? standard() : a;
}

QString Arrangement::toText() const {
    QStringList parts;
    for (const StripGroup& group : strips) {
        QStringList names;
        for (Series s : group.series)
            names << QLatin1String(valueSpec(s).column);
        QString part = names.join(QLatin1Char('+'));
        if (group.fixed)
            part += QStringLiteral("@%1:%2")
                        .arg(group.fixed->low, 0, 'g', 10)
                        .arg(group.fixed->high, 0, 'g', 10);
        parts << part;
    }
    return parts.join(QLatin1Char(';'));
}

int Arrangement::stripOf(Series series) const {
    for (std::size_t i = 0; i < strips.size(); ++i) {
        const auto& s = strips[i].series;
        if (std::find(s.begin(), s.end(), series) != s.end())
            return int(i);
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
    for (const ValueSpec& entry : kValues) {
        if (arrangement.stripOf(entry.value) < 0)
            out.push_back({entry.value, false, false});
    }
    return out;
}

Arrangement fromEntries(const std::vector<ChannelEntry>& entries, const Arrangement& before) {
    Arrangement a;
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

QString labelOf(Series series, const QString& mapRange) {
    const ValueSpec& entry = valueSpec(series);
    const QString name = QString::fromUtf8(entry.name);
    if (*entry.unit)
        return QStringLiteral("%1 (%2)").arg(name, QString::fromUtf8(entry.unit));
    if (series == Series::Map && !mapRange.isEmpty())
        return QStringLiteral("%1 (%2)").arg(name, mapRange);
    return name;
}

QString mapRangeLabel(std::int16_t rangeCode) {
    if (rangeCode == 0)
        return {};
    return QStringLiteral("0 to %1").arg(double(scaling::mapLimit(rangeCode)));
}

}  // namespace ignivex::chart
