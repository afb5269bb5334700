#include "app/DashboardWiring.h"

#include "app/RecordingControl.h"
#include "dashboard/DashboardWindow.h"

namespace ignivex {

void wireDashboard(dash::DashboardWindow& dashboard, RecordingControl& recording) {
    using dash::DashboardWindow;
    QObject::connect(&dashboard, &DashboardWindow::recordClicked, &recording,
                     &RecordingControl::mnuRecord_Click);
    QObject::connect(&dashboard, &DashboardWindow::markClicked, &recording,
                     &RecordingControl::mnuMark_Click);
    QObject::connect(&dashboard, &DashboardWindow::stopClicked, &recording,
                     &RecordingControl::mnuStopRecording_Click);
    QObject::connect(&recording, &RecordingControl::recordingChanged, &dashboard,
                     [d = &dashboard](bool on) { d->setRecording(on, 0); });
    QObject::connect(&recording, &RecordingControl::progressed, &dashboard,
                     [d = &dashboard, r = &recording](double elapsed) {
                         d->setRecording(r->recording(), elapsed);
                     });
    dashboard.setRecording(recording.recording(),
                           recording.recording() ? recording.session().progress().elapsedS : 0);
}

}  // namespace ignivex
