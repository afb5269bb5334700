#include "app/DashboardWiring.h"

#include "app/RecordingControl.h"
#include "dashboard/DashboardWindow.h"
#include "watch/AlarmSet.h"
#include "watch/WatchedRecording.h"

#include <QRegularExpression>

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

    watch::WatchedRecording& watched = recording.watched();
    auto trigger = [d = &dashboard, w = &watched] {
        using State = watch::WatchedRecording::State;
        const State s = w->state();
        d->setTriggerState(!w->triggered()          ? dash::TriggerState::Off
                           : s == State::Armed      ? dash::TriggerState::Armed
                           : s == State::Recording ? dash::TriggerState::Recording
                                                    : dash::TriggerState::Stopped);
    };
    QObject::connect(&watched, &watch::WatchedRecording::stateChanged, &dashboard, trigger);
    trigger();
    watch::AlarmSet& alarms = recording.alarms();
    QObject::connect(&alarms, &watch::AlarmSet::changed, &dashboard,
                     [d = &dashboard, a = &alarms](int index, const QString& text, bool firing) {
                         const auto& all = a->alarms();
                         const QString channel = index >= 0 && std::size_t(index) < all.size()
                                                     ? alarmChannel(all[std::size_t(index)].condition)
                                                     : QString();
                         d->showAlarm(index, channel, text, firing);
                     });
    for (int index : alarms.firing())
        dashboard.showAlarm(index, alarmChannel(alarms.alarms()[std::size_t(index)].condition),
                            alarms.alarms()[std::size_t(index)].text, true);
}

QString alarmChannel(const QString& condition) {
    static const QRegularExpression name(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    for (auto it = name.globalMatch(condition); it.hasNext();) {
        const auto m = it.next();
        // Not the exponent of a number (1e5), nor a function (smooth(...)).
        const qsizetype before = m.capturedStart() - 1;
        if (before >= 0 && (condition[before].isDigit() || condition[before] == QLatin1Char('.')))
            continue;
        qsizetype after = m.capturedEnd();
        while (after < condition.size() && condition[after].isSpace())
            ++after;
        if (after < condition.size() && condition[after] == QLatin1Char('('))
            continue;
        return m.captured();
    }
    return {};
}

}  // namespace ignivex
