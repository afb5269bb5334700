#include "series/ChannelText.h"

#include "record/RecordFormat.h"

#include <cmath>

namespace ignivex::chart::tools {

QString channelTitle(const record::ChannelInfo& entry, const Details& details) {
    const QString& name = entry.name;
    if (entry.is(Value::Map)) {
        // The module names no unit for MAP: its range is what tells the reader the scale.
        const auto code = record::rangeCodeOf(details);
        if (!code)
            return QStringLiteral("%1 (module's units)").arg(name);
        // "2 (0 to 60)" -> "0 to 60"
        const QString range = record::mapRangeText(*code);
        const qsizetype open = range.indexOf(QLatin1Char('('));
        return QStringLiteral("%1 (range %2: %3)")
            .arg(name)
            .arg(*code)
            .arg(range.mid(open + 1, range.size() - open - 2));
    }
    if (entry.onOff())
        return QStringLiteral("%1 (0 or 1)").arg(name);
    if (entry.unit.isEmpty())
        return name;
    return QStringLiteral("%1 (%2)").arg(name, entry.unit);
}

QString unitSuffix(const record::ChannelInfo& entry) {
    return entry.unit.isEmpty() ? QString() : QLatin1Char(' ') + entry.unit;
}

QString meanText(const record::ChannelInfo& entry, double mean) {
    return QString::number(mean, 'f', entry.onOff() ? 2 : entry.shownDecimals + 1);
}

QString csvMeanText(const record::ChannelInfo& entry, double mean) {
    return QString::number(mean, 'f', entry.onOff() ? 3 : entry.decimals + 2);
}

QString durationText(double seconds) {
    if (seconds < 0.995)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 2);
    if (seconds < 59.95)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    const auto whole = qint64(std::llround(seconds));
    const qint64 h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    const QChar zero(QLatin1Char('0'));
    return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, zero).arg(s, 2, 10, zero)
                 : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, zero);
}

}  // namespace ignivex::chart::tools
