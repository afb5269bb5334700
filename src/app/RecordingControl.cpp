#include "app/RecordingControl.h"

#include "app/RecordPrompts.h"
#include "review/RecentRecordings.h"
#include "review/WorkbookExport.h"
#include "record/RecordingReader.h"
#include "display/PanelFeed.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "base/AppIdentity.h"

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
}  // namespace

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
}

RecordingControl::RecordingControl(Parts parts, QObject* parent)
    : QObject(parent), p_(std::move(parts)), session_(p_.run.acquisition(), p_.clock) {
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, &RecordingControl::refresh);
    connect(&session_, &RecordingSession::failed, this,
            [this](const QString& message) { stop(message); });
    connect(&session_, &RecordingSession::rowsDropped, this, [this] {
        dropped_ = true;
        p_.panel.recordingIndicator->setWarning(QStringLiteral("rows lost: the disk is slow"));
    });
    connect(&p_.view, &RealTimeView::closed, this, [this] { stop({}); });
}

void RecordingControl::mnuRecord_Click() {
    if (session_.active()) {
        tell(QStringLiteral("A recording to %1 is running. Choose File, Stop Recording before "
                            "you start another.")
                 .arg(QDir::toNativeSeparators(session_.path())));
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
    const std::optional<Rate> rate = p_.prompts.rate(p_.owner, recording_settings::lastRate());
    if (!rate)
        return;
    recording_settings::remember(QFileInfo(*path).absolutePath(), *rate);

    if (!p_.run.polling())
        p_.view.mnuViewRealTime_Click();
    // The view did not open (no module; its messages have said why): there is nothing to
    // record, and no file is made.
    if (!p_.run.polling())
        return;

    QString error;
    // The save dialog asked before an existing file may be replaced.
    if (!session_.start(*path, p_.run.details(*rate), *rate, QFileInfo::exists(*path), &error)) {
        tell(error);
        return;
    }
    dropped_ = false;
    p_.pollTimer.setInterval(rate->intervalMs());
    p_.feed.setThrottled(rate->intervalMs() < PanelFeed::kMinFrameMs);
    p_.panel.recordingIndicator->setWarning({});
    p_.panel.recordingIndicator->show();
    refresh();
    refresh_.start();
    emit recordingChanged(true);
}

void RecordingControl::mnuStopRecording_Click() {
    const bool wasRecording = session_.active();
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
        tell(
            QStringLiteral("Marks go into a recording, and none is running. Choose File, "
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
    session_.stop();
}

void RecordingControl::stop(const QString& failure) {
    if (!session_.active() && failure.isEmpty())
        return;
    const RecordingSession::Progress last = session_.progress();
    const QString path = session_.path();
    session_.stop();
    const bool kept = last.samples > 0 && QFileInfo::exists(path);
    if (kept)
        chart::recent_recordings::add(path);
    refresh_.stop();
    p_.pollTimer.setInterval(kViewRate.intervalMs());
    p_.feed.setThrottled(false);
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
