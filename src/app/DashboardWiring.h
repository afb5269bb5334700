#pragma once

namespace ignivex {

class RecordingControl;
namespace dash {
class DashboardWindow;
}

// The dashboard's Record, Mark and Stop are File, Record…, Mark and Stop Recording, and it
// shows the recording's state and time as the panel's indicator does.
void wireDashboard(dash::DashboardWindow& dashboard, RecordingControl& recording);

}  // namespace ignivex
