#pragma once

#include "watch/Conditions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ignivex::watch {

// An alarm: a condition that must hold for `holdSeconds` before it fires, and its text.
struct Alarm {
    QString text;
    QString condition;
    double holdSeconds = 0;
    bool operator==(const Alarm&) const = default;
};

// The longest an alarm's hold time may be, and the most alarms a set takes.
inline constexpr double kLongestHoldSeconds = 3600;
inline constexpr int kMostAlarms = 100;

// "TEXT: FORMULA" (the command line's --alarm) read into an alarm with no hold time; nothing,
// and why in `why`, where the text or the formula is missing. The formula is not read here.
std::optional<Alarm> alarmFrom(const QString& text, QString* why);

// The alarms, watched row by row on the rows' own times: an alarm fires on the row where its
// condition has held for its hold time (from the first row it was true on), and clears on
// the row where it has been false for the same time. A row where the condition is empty (a
// lost link) neither holds nor fails it: both counts begin again.
class AlarmSet : public QObject {
    Q_OBJECT
public:
    explicit AlarmSet(QObject* parent = nullptr);

    // The alarms to watch, over the module's channels and these by formula. Each alarm's
    // problem (nothing where it is sound); an alarm with one is never watched. Every alarm
    // firing is cleared first.
    std::vector<std::optional<formula::Problem>> set(
        const std::vector<Alarm>& alarms, const std::vector<formula::Definition>& channels = {});
    const std::vector<Alarm>& alarms() const { return alarms_; }

    // The row in: the marks it carries, "alarm: TEXT" for each alarm that fired on it.
    QStringList take(const Sample& sample);
    // The indexes of the alarms firing now, in their order.
    QList<int> firing() const;
    bool isFiring(int index) const;
    // Every alarm cleared and the rows forgotten (the link brought up anew).
    void reset();

    // "alarm: TEXT", as a row's mark says it.
    static QString markOf(const Alarm& alarm);

signals:
    // An alarm fired (firing true) or cleared, on the row of `elapsed` seconds.
    void changed(int index, const QString& text, bool firing, double elapsed);

private:
    struct State {
        int condition = -1;  // in conditions_; -1: not watched
        bool firing = false;
        std::optional<double> since;  // when the run toward a change began
    };
    std::vector<Alarm> alarms_;
    std::vector<State> states_;
    Conditions conditions_;
};

}  // namespace ignivex::watch
