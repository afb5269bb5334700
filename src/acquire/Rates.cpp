#include "acquire/Rates.h"

namespace ignivex {

QString Rate::text() const {
    return fastest() ? QStringLiteral("as fast as the link allows")
                     : QStringLiteral("%1 per second").arg(perSecond);
}

QString Rate::key() const {
    return fastest() ? QStringLiteral("max") : QString::number(perSecond);
}

QList<Rate> recordingRates() {
    return {Rate{2}, Rate{5}, Rate{10}, Rate{20}, Rate{50}, Rate{0}};
}

std::optional<Rate> rateFrom(const QString& key) {
    const QString k = key.trimmed().toLower();
    for (const Rate& r : recordingRates()) {
        if (r.key() == k)
            return r;
    }
    return std::nullopt;
}

}  // namespace ignivex
