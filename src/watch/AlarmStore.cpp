#include "watch/AlarmStore.h"

#include "formula/Formula.h"

#include <QSettings>
#include <cmath>

namespace ignivex::watch {

namespace {
const QString kGroup = QStringLiteral("Alarms");
}

std::vector<Alarm> loadAlarms(QSettings& settings) {
    std::vector<Alarm> out;
    const int count = std::min(settings.beginReadArray(kGroup), kMostAlarms);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        Alarm a;
        a.text = settings.value(QStringLiteral("text")).toString().simplified().left(100);
        a.condition =
            settings.value(QStringLiteral("condition")).toString().left(formula::kMostCharacters);
        bool ok = false;
        a.holdSeconds = settings.value(QStringLiteral("hold_s"), 0).toDouble(&ok);
        if (a.text.isEmpty() || a.condition.trimmed().isEmpty() || !ok ||
            !std::isfinite(a.holdSeconds) || a.holdSeconds < 0 || a.holdSeconds > kLongestHoldSeconds)
            continue;
        out.push_back(a);
    }
    settings.endArray();
    return out;
}

void saveAlarms(QSettings& settings, const std::vector<Alarm>& alarms) {
    settings.remove(kGroup);
    settings.beginWriteArray(kGroup, int(alarms.size()));
    for (int i = 0; i < int(alarms.size()); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("text"), alarms[std::size_t(i)].text);
        settings.setValue(QStringLiteral("condition"), alarms[std::size_t(i)].condition);
        settings.setValue(QStringLiteral("hold_s"), alarms[std::size_t(i)].holdSeconds);
    }
    settings.endArray();
    settings.sync();
}

}  // namespace ignivex::watch
