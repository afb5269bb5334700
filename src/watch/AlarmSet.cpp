#include "watch/AlarmSet.h"

namespace ignivex::watch {

namespace {
// Elapsed seconds are written to the millisecond; 0.3 - 0.1 in doubles is a hair below 0.2.
constexpr double kTimeRoom = 1e-9;
}  // namespace

std::optional<Alarm> alarmFrom(const QString& text, QString* why) {
    // The text ends at the first colon, so a formula may hold one (muParser's "a ? b : c").
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString said = text.left(colon).trimmed();
    const QString formula = colon < 0 ? QString() : text.mid(colon + 1).trimmed();
    if (colon < 0 || said.isEmpty() || formula.isEmpty()) {
        *why = QStringLiteral("an alarm is \"TEXT: FORMULA\", such as \"battery low: battery_v "
                              "< 11.5\"");
        return std::nullopt;
    }
    return Alarm{said, formula, 0};
}

AlarmSet::AlarmSet(QObject* parent) : QObject(parent) {}

std::vector<std::optional<formula::Problem>> AlarmSet::set(
    const std::vector<Alarm>& alarms, const std::vector<formula::Definition>& channels) {
    for (int i : firing())
        emit changed(i, alarms_[std::size_t(i)].text, false, conditions_.elapsed());
    alarms_ = alarms;
    states_.assign(alarms.size(), {});
    conditions_.setChannels(channels);
    std::vector<std::optional<formula::Problem>> problems;
    for (std::size_t i = 0; i < alarms.size(); ++i) {
        problems.push_back(conditions_.add(alarms[i].condition));
        if (!problems.back())
            states_[i].condition = conditions_.count() - 1;
    }
    return problems;
}

QStringList AlarmSet::take(const Sample& sample) {
    QStringList marks;
    if (conditions_.count() == 0)
        return marks;
    const std::vector<Verdict>& verdicts = conditions_.append(sample);
    const double t = conditions_.elapsed();
    for (std::size_t i = 0; i < alarms_.size(); ++i) {
        State& s = states_[i];
        if (s.condition < 0)
            continue;
        // Firing, the run is of false rows; not firing, of true ones.
        const Verdict toward = s.firing ? Verdict::False : Verdict::True;
        if (verdicts[std::size_t(s.condition)] != toward) {
            s.since.reset();
            continue;
        }
        if (!s.since)
            s.since = t;
        if (t - *s.since + kTimeRoom < alarms_[i].holdSeconds)
            continue;
        s.firing = !s.firing;
        s.since.reset();
        if (s.firing)
            marks << markOf(alarms_[i]);
        emit changed(int(i), alarms_[i].text, s.firing, t);
    }
    return marks;
}

QList<int> AlarmSet::firing() const {
    QList<int> out;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (states_[i].firing)
            out << int(i);
    }
    return out;
}

bool AlarmSet::isFiring(int index) const {
    return index >= 0 && std::size_t(index) < states_.size() && states_[std::size_t(index)].firing;
}

void AlarmSet::reset() {
    const double t = conditions_.elapsed();
    for (std::size_t i = 0; i < states_.size(); ++i) {
        const bool was = states_[i].firing;
        states_[i].firing = false;
        states_[i].since.reset();
        if (was)
            emit changed(int(i), alarms_[i].text, false, t);
    }
    conditions_.restart();
}

QString AlarmSet::markOf(const Alarm& alarm) {
    return QStringLiteral("alarm: %1").arg(alarm.text);
}

}  // namespace ignivex::watch
