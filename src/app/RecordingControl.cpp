#include "app/RecordingControl.h"

#include "app/RecordPrompts.h"
#include "review/RecentRecordings.h"
#include "review/WorkbookExport.h"
#include "record/RecordingReader.h"
#include "display/PanelFeed.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "base/AppIdentity.h"
#include "formula/FormulaStore.h"
#include "watch/AlarmStore.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace ignivex {

namespace recording_settings {
namespace {
const QString kFolder = QStringLiteral("Recording/Folder");
const QString kRate = QStringLiteral("Recording/Rate");
const QString kTriggered = QStringLiteral("Recording/StartsItself");
const QString kStartWhen = QStringLiteral("Recording/StartWhen");
const QString kKeepBefore = QStringLiteral("Recording/KeepBeforeSeconds");
const QString kStopAfter = QStringLiteral("Recording/StopAfterSeconds");

double secondsOf(const QSettings& s, const QString& key, double fallback, double most) {
    bool ok = false;
    const double v = s.value(key).toDouble(&ok);
    return ok && v >= 0 && v <= most ? v : fallback;
}
}  // namespace

RecordChoice lastChoice() {
    const QSettings s = userSettings();
    RecordChoice c{lastRate(), {}};
    watch::TriggerSettings t;
    t.condition = s.value(kStartWhen).toString().left(formula::kMostCharacters);
    t.keepBeforeSeconds =
        secondsOf(s, kKeepBefore, t.keepBeforeSeconds, watch::kLongestKeepBeforeSeconds);
    t.stopAfterSeconds = secondsOf(s, kStopAfter, t.stopAfterSeconds, watch::kLongestStopAfterSeconds);
    if (s.value(kTriggered).toBool())
        c.trigger = t;
    return c;
}

void remember(const RecordChoice& choice) {
    QSettings s = userSettings();
    s.setValue(kTriggered, choice.trigger.has_value());
    if (choice.trigger) {
        s.setValue(kStartWhen, choice.trigger->condition);
        s.setValue(kKeepBefore, choice.trigger->keepBeforeSeconds);
        s.setValue(kStopAfter, choice.trigger->stopAfterSeconds);
    }
    s.sync();
}

QString lastFolder() {
    // Always an absolute folder that exists: the save dialog takes a relative or missing one
    // as a name inside the folder it happens to start in.
    const QString folder = userSettings().value(kFolder).toString();
    if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir())
        return QDir::cleanPath(folder);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir::isAbsolutePath(documents) && QFileInfo(documents).isDir())
        return QDir::cleanPath(documents);
    return QDir::homePath();
}

Rate lastRate() {
    return rateFrom(userSettings().value(kRate).toString()).value_or(kViewRate);
}

void remember(const QString& folder, Rate rate) {
    QSettings s = userSettings();
    s.setValue(kFolder, folder);
    s.setValue(kRate, rate.key());
    s.sync();  // a choice that cannot be kept costs only the suggestion next time
}

QString suggestedName() {
    return QStringLiteral("ignivex-%1.csv")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
}
}  // namespace recording_settings

namespace {
constexpr int kRefreshMs = 1000;
// Whether a firing alarm sounds; beside the "Alarms" list, which is an array of its own.
const QString kAlarmSound = QStringLiteral("AlarmSound");
}

RecordingControl::RecordingControl(Parts parts, QObject* parent)
    : QObject(parent),
      p_(std::move(parts)),
      watched_(p_.run.acquisition(), p_.clock),
      session_(watched_.session()) {
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &RecordingControl::refresh);
    connect(&watched_, &watch::WatchedRecording::failed, this,
            [this](const QString& message) { stop(message); });
    connect(&watched_, &watch::WatchedRecording::refused, this,
            [this](const QString&, const QString& error) { stop(error); });
    connect(&watched_, &watch::WatchedRecording::stateChanged, this, &RecordingControl::showState);
    connect(&watched_, &watch::WatchedRecording::stretchEnded, this,
            [this](const QString& path, qint64 rows) {
                if (rows > 0 && QFileInfo::exists(path)) {
                    chart::recent_recordings::add(path);
                    emit recordingClosed(path);
                }
            });
    // A firing alarm is said on the indicator while a recording runs or is armed.
    connect(&watched_.alarms(), &watch::AlarmSet::changed, this,
            [this](int, const QString& text, bool firing) {
                if (firing && userSettings().value(kAlarmSound).toBool())
                    QApplication::beep();
                if (firing)
                    p_.panel.recordingIndicator->setWarning(QStringLiteral("alarm: %1").arg(text));
                else if (p_.panel.recordingIndicator->warning() ==
                         QStringLiteral("alarm: %1").arg(text))
                    p_.panel.recordingIndicator->setWarning({});
            });
    reloadAlarms();
    connect(&session_, &RecordingSession::rowsDropped, this, [this] {
        dropped_ = true;
        p_.panel.recordingIndicator->setWarning(QStringLiteral("rows lost: the disk is slow"));
    });
    connect(&p_.view, &RealTimeView::closed, this, [this] { stop({}); });
}

QStringList RecordingControl::reloadAlarms() {
    QSettings settings = userSettings();
    const auto problems = watched_.alarms().set(watch::loadAlarms(settings),
                                                formula::loadFormulas(settings).channels);
    QStringList out;
    for (std::size_t i = 0; i < problems.size(); ++i) {
        if (problems[i])
            out << QStringLiteral("%1: %2").arg(watched_.alarms().alarms()[i].text,
                                                problems[i]->message);
    }
    return out;
}

void RecordingControl::mnuAlarms_Click() {
    QSettings settings = userSettings();
    bool sound = settings.value(kAlarmSound).toBool();
    const auto edited = p_.prompts.alarms(p_.owner, watch::loadAlarms(settings),
                                          formula::loadFormulas(settings).channels, &sound);
    if (!edited)
        return;
    settings.setValue(kAlarmSound, sound);
    watch::saveAlarms(settings, *edited);
    const QStringList problems = reloadAlarms();
    if (!problems.isEmpty())
        tell(QStringLiteral("These alarms are not watched:\n%1").arg(problems.join('\n')));
}

void RecordingControl::mnuRecord_Click() {
    if (recording()) {
        tell(session_.active()
                 ? QStringLiteral("A recording to %1 is running. Choose File, Stop Recording "
                                  "before you start another.")
                       .arg(QDir::toNativeSeparators(session_.path()))
                 : QStringLiteral("A recording is armed to start when %1 is true. Choose File, "
                                  "Stop Recording before you start another.")
                       .arg(watched_.trigger()->condition));
        return;
    }
    if (p_.replaying && p_.replaying()) {
        tell(
            QStringLiteral("The panel is replaying a recording, and the module is not polled "
                           "meanwhile. Close the review window, then choose File, Record… "
                           "again."));
        return;
    }
    const QString suggested =
        QDir(recording_settings::lastFolder()).filePath(recording_settings::suggestedName());
    const std::optional<QString> path = p_.prompts.file(p_.owner, suggested);
    if (!path)
        return;
    const std::vector<formula::Definition> channels = [] {
        QSettings settings = userSettings();
        return formula::loadFormulas(settings).channels;
    }();
    const std::optional<RecordChoice> choice =
        p_.prompts.choice(p_.owner, recording_settings::lastChoice(), channels);
    if (!choice)
        return;
    recording_settings::remember(QFileInfo(*path).absolutePath(), choice->rate);
    recording_settings::remember(*choice);
    // Stretches are never written over: the save dialog asked about the name, not about them.
    if (choice->trigger && QFileInfo::exists(watch::stretchPath(*path, 1))) {
        tell(QStringLiteral("%1 exists, and a recording that starts itself writes its first "
                            "stretch there. Choose another name, or move that file away.")
                 .arg(QDir::toNativeSeparators(watch::stretchPath(*path, 1))));
        return;
    }

    if (!p_.run.polling())
        p_.view.mnuViewRealTime_Click();
    // The view did not open (no module; its messages have said why): there is nothing to
    // record, and no file is made.
    if (!p_.run.polling())
        return;
    if (!begin(*path, *choice))
        return;
    dropped_ = false;
    p_.pollTimer.setInterval(choice->rate.intervalMs());
    p_.feed.setThrottled(choice->rate.intervalMs() < PanelFeed::kMinFrameMs);
    p_.panel.recordingIndicator->setWarning({});
    p_.panel.recordingIndicator->show();
    showState();
    refresh_.start();
    emit recordingChanged(true);
}

bool RecordingControl::begin(const QString& path, const RecordChoice& choice) {
    if (choice.trigger) {
        QSettings settings = userSettings();
        const auto problem = watched_.arm(
            path, [this, rate = choice.rate] { return p_.run.details(rate); }, choice.rate, false,
            *choice.trigger, formula::loadFormulas(settings).channels);
        if (problem)
            tell(QStringLiteral("The recording cannot start itself on %1: %2")
                     .arg(choice.trigger->condition, problem->message));
        return !problem;
    }
    QString error;
    // The save dialog asked before an existing file may be replaced.
    if (!watched_.start(path, p_.run.details(choice.rate), choice.rate, QFileInfo::exists(path),
                        &error)) {
        tell(error);
        return false;
    }
    return true;
}

void RecordingControl::showState() {
    const auto* trigger = watched_.trigger();
    p_.panel.recordingIndicator->setArmed(
        watched_.state() == watch::WatchedRecording::State::Armed ? trigger->condition : QString());
    refresh();
}

void RecordingControl::mnuStopRecording_Click() {
    // The workbook is offered for a recording from now on; a run of stretches is several files.
    const bool wasRecording = session_.active() && !watched_.triggered();
    const QString path = session_.path();
    stop({});
    const qint64 rows = session_.progress().samples;
    // The message that reports the saved file offers the workbook a spreadsheet in any
    // language reads as written.
    if (!wasRecording || rows == 0 || !QFileInfo::exists(path))
        return;
    const QString text = QStringLiteral(
                             "Recorded %1 samples to %2.\n\nExport it for a spreadsheet "
                             "as well? A workbook (.xlsx) reads the same in every "
                             "language; the CSV file stays as it is.")
                             .arg(rows)
                             .arg(QDir::toNativeSeparators(path));
    if (p_.boxes.show(text, box::YesNo + box::Question, kTitle) != box::Yes)
        return;
    const QFileInfo csv(path);
    const auto target = p_.prompts.workbookFile(
        p_.owner, csv.dir().filePath(csv.completeBaseName() + QStringLiteral(".xlsx")));
    if (!target)
        return;
    chart::exportWithProgress(
        p_.owner, p_.boxes, *target,
        [csv = path, xlsx = *target](const workbook::Options& options,
                                     QString* error) -> std::optional<workbook::Written> {
            const record::ReadResult read = record::readRecording(csv);
            if (!read.recording) {
                *error = read.error;
                return std::nullopt;
            }
            return workbook::write(
                {read.recording->table, read.recording->details, read.recording->path}, {}, xlsx,
                options, error);
        });
}

void RecordingControl::mnuMark_Click() {
    mark(QString());
}

void RecordingControl::mnuMarkWithNote_Click() {
    if (!session_.active())
        return mark(QString());
    // The mark is on the row of the key press; the rows wait while the note is typed.
    session_.markAwaitingNote();
    const QString text = session_.giveNote(p_.prompts.note(p_.owner));
    if (!text.isEmpty())
        showMarked(text);
}

void RecordingControl::mark(const QString& note) {
    if (!session_.active()) {
        tell(watched_.triggered()
                 ? QStringLiteral("Marks go into a recording, and the one armed has not started: "
                                  "it starts when %1 is true.")
                       .arg(watched_.trigger()->condition)
                 : QStringLiteral("Marks go into a recording, and none is running. Choose File, "
                                  "Record… first."));
        return;
    }
    showMarked(session_.mark(note));
}

void RecordingControl::showMarked(const QString& text) {
    p_.panel.recordingIndicator->setWarning(QStringLiteral("marked: %1").arg(text));
    QTimer::singleShot(3000, this, [this, text] {
        // Unless something more important has been said since.
        if (p_.panel.recordingIndicator->warning() == QStringLiteral("marked: %1").arg(text))
            p_.panel.recordingIndicator->setWarning({});
    });
}

void RecordingControl::finish() {
    watched_.stop();
}

void RecordingControl::stop(const QString& failure) {
    if (!recording() && failure.isEmpty())
        return;
    const RecordingSession::Progress last = session_.progress();
    const QString path = session_.path();
    const bool plain = session_.active() && !watched_.triggered();
    watched_.stop();
    const bool kept = plain && last.samples > 0 && QFileInfo::exists(path);
    if (kept)
        chart::recent_recordings::add(path);
    refresh_.stop();
    p_.pollTimer.setInterval(kViewRate.intervalMs());
    p_.feed.setThrottled(false);
    p_.panel.recordingIndicator->setArmed({});
    p_.panel.recordingIndicator->hide();
    emit recordingChanged(false);
    if (kept)
        emit recordingClosed(path);
    if (!failure.isEmpty())
        tell(failure);
    else if (last.dropped > 0)
        tell(QStringLiteral("%1 rows of the recording could not be written in time and are "
                            "missing from %2 (the disk was too slow). Record to a faster disk "
                            "or at a lower rate.")
                 .arg(last.dropped)
                 .arg(QDir::toNativeSeparators(path)));
}

void RecordingControl::refresh() {
    const RecordingSession::Progress p = session_.progress();
    p_.panel.recordingIndicator->setFigures(p.elapsedS, p.samples, p.ratePerS);
    emit progressed(p.elapsedS);
}

void RecordingControl::tell(const QString& text) {
    // Not inside a polling tick: a box opened there would hold the polling until it is answered,
    // and the live view goes on while the user reads it.
    if (p_.run.acquisition().busy()) {
        QTimer::singleShot(20, this, [this, text] { tell(text); });
        return;
    }
    p_.boxes.show(text, box::OkOnly + box::Exclamation, kTitle);
}

}  // namespace ignivex
