#pragma once

#include <QString>

namespace ignivex {

class RecordingControl;
namespace dash {
class DashboardWindow;
}

// The dashboard's Record, Mark and Stop are File, Record…, Mark and Stop Recording, and it
// shows the recording's state and time as the panel's indicator does, whether a start
// condition is armed or recording, and the alarms as they fire and clear.
void wireDashboard(dash::DashboardWindow& dashboard, RecordingControl& recording);

// The channel an alarm's tile is: the first name its condition reads that is not a function's
// ("battery_v" of "battery_v < 11.5"); empty where it reads none.
QString alarmChannel(const QString& condition);

}  // namespace ignivex
