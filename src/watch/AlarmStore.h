#pragma once

#include "watch/AlarmSet.h"

#include <vector>

class QSettings;

namespace ignivex::watch {

// The alarms a user keeps, in the settings' "Alarms" list (text, condition, hold_s each). An
// entry without a text or a condition, or with a hold time out of bounds, is left out when
// read; at most kMostAlarms are read.
std::vector<Alarm> loadAlarms(QSettings& settings);
void saveAlarms(QSettings& settings, const std::vector<Alarm>& alarms);

}  // namespace ignivex::watch
