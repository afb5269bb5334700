#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ignivex {

// How often the polling tick runs. The view's own pace is two ticks a second; a recording may
// ask for 5, 10, 20 or 50, or for ticks back to back ("as fast as the link allows": each tick
// still sends its five commands with their pauses, about 80 ticks a second at 56000 bit/s).
struct Rate {
    int perSecond = 2;  // 0: as fast as the link allows
    bool operator==(const Rate&) const = default;

    bool fastest() const { return perSecond == 0; }
    // The polling timer's interval; 0 runs the ticks back to back.
    int intervalMs() const { return fastest() ? 0 : 1000 / perSecond; }
    // "2 per second", "as fast as the link allows".
    QString text() const;
    // As written on a command line or in the settings: "2", "10", "max".
    QString key() const;
};

inline constexpr Rate kViewRate{2};

// The rates a recording offers, the view's own first.
QList<Rate> recordingRates();

// "2", "5", "10", "20", "50" or "max" (any case); nothing for anything else.
std::optional<Rate> rateFrom(const QString& key);

}  // namespace ignivex
