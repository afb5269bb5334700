#pragma once

#include "acquire/Rates.h"
#include "app/RecordChoice.h"
#include "record/RecordingSession.h"
#include "recovery/MessageBoxes.h"
#include "acquire/ModuleRun.h"
#include "watch/WatchedRecording.h"

#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace ignivex {

class PanelFeed;
class RealTimePanel;
class RealTimeView;
class RecordPrompts;

// File, Record… and Stop Recording in the window: asks for the file, the rate and the start
// (now, or on a condition: armed, each stretch a file of its own), opens the view when it is
// closed, runs the polling timer at the chosen rate, keeps the panel's REC or ARMED figures up
// to date, and stops with the view, the window, or a file that can no longer be written (with
// a message that says so, while the live view goes on). The alarms kept in the settings are
// watched on every row polled, and marked in the recording where they fire.
class RecordingControl : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* owner;
        ModuleRun& run;
        RealTimeView& view;
        RealTimePanel& panel;
        PanelFeed& feed;
        QTimer& pollTimer;
        MessageBoxes& boxes;
        Clock& clock;
        RecordPrompts& prompts;
        // True while a recording being replayed drives the panel (polling is paused then).
        std::function<bool()> replaying;
    };
    static inline const QString kTitle = QStringLiteral("Record");

    explicit RecordingControl(Parts parts, QObject* parent = nullptr);

    void mnuRecord_Click();
    void mnuStopRecording_Click();
    // A mark on the next row of the running recording, without a note or with one asked for.
    void mnuMark_Click();
    void mnuMarkWithNote_Click();
    // File, Alarms…: the alarms kept in the settings, edited and watched from the next row.
    void mnuAlarms_Click();
    // Stops a recording that runs, the file complete and synced. For the end of the program.
    void finish();

    // Recording, or armed to start on a condition.
    bool recording() const { return watched_.state() != watch::WatchedRecording::State::Stopped; }
    RecordingSession& session() { return watched_.session(); }
    watch::WatchedRecording& watched() { return watched_; }
    // The alarms watched: a window shows them from here.
    watch::AlarmSet& alarms() { return watched_.alarms(); }
    // The alarms kept in the settings, watched from the next row on; a line for each that
    // cannot be.
    QStringList reloadAlarms();

signals:
    void recordingChanged(bool recording);
    // Once a second while recording: the time since the start.
    void progressed(double elapsedSeconds);
    // A recording with rows was closed and its file is there.
    void recordingClosed(const QString& path);

private:
    void stop(const QString& failure);
    void mark(const QString& note);
    // "marked: ..." on the panel for a few seconds.
    void showMarked(const QString& text);
    void refresh();
    void tell(const QString& text);
    void showState();
    bool begin(const QString& path, const RecordChoice& choice);

    Parts p_;
    watch::WatchedRecording watched_;
    RecordingSession& session_;
    QTimer refresh_;
    bool dropped_ = false;
};

// Where Record… starts and which rate it offers first: what was chosen last, kept in the
// settings file's own "Recording" group.
namespace recording_settings {
QString lastFolder();
Rate lastRate();
void remember(const QString& folder, Rate rate);
// The start condition chosen last, and whether it was chosen (else the recording started now).
RecordChoice lastChoice();
void remember(const RecordChoice& choice);
// "ignivex-YYYYMMDD-HHMMSS.csv" for the local time now.
QString suggestedName();
}  // namespace recording_settings

}  // namespace ignivex
