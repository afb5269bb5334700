#pragma once

#include "acquire/Acquisition.h"
#include "acquire/Rates.h"
#include "record/RecordingSession.h"
#include "watch/AlarmSet.h"
#include "watch/StartTrigger.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace ignivex::watch {

// FILE with "-N" put before its extension: the file of the Nth stretch ("run.csv", 2:
// "run-2.csv"; "run", 2: "run-2").
QString stretchPath(const QString& path, int stretch);

// The rows of a run as they come, watched and recorded: every row goes through the alarms
// first, so an alarm's mark is on the row where it fired; then, while a recording runs, to
// the file, either from the next row on or in stretches a start condition begins, each a
// recording of its own (FILE-1, FILE-2, ...), the rows kept from before it at its top.
class WatchedRecording : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Armed, Recording };
    // What a stretch's file is opened with: its details for the run as it is now.
    using DetailsNow = std::function<record::Details()>;

    WatchedRecording(Acquisition& acquisition, Clock& clock, QObject* parent = nullptr);
    ~WatchedRecording() override;

    AlarmSet& alarms() { return alarms_; }
    RecordingSession& session() { return session_; }

    // Records every row from the next one on into `path`.
    bool start(const QString& path, const record::Details& details, Rate rate, bool replace,
               QString* error);
    // Armed: stretches go to stretchPath(path, 1), 2, ...; each is refused when it exists
    // unless `replace`. The condition's problem, and nothing armed, where it has one.
    std::optional<formula::Problem> arm(const QString& path, DetailsNow details, Rate rate,
                                        bool replace, const TriggerSettings& trigger,
                                        const std::vector<formula::Definition>& channels = {});
    // Ends the recording or the stretch under way, and disarms.
    void stop();

    State state() const;
    bool triggered() const { return trigger_ != nullptr; }
    const TriggerSettings* trigger() const { return trigger_ ? &trigger_->settings() : nullptr; }
    // The stretches begun, and the file of each.
    int stretches() const { return stretches_; }
    QString currentFile() const { return session_.active() ? session_.path() : QString(); }
    // The rows each stretch's file received (the running one's so far).
    const std::vector<qint64>& stretchRows() const { return stretchRows_; }

signals:
    void stateChanged(State state);
    // A stretch began into `path`, with `kept` rows from before the trigger.
    void stretchStarted(const QString& path, int kept);
    // A stretch ended (its file closed) with `rows` rows.
    void stretchEnded(const QString& path, qint64 rows);
    // A file could not be written: the recording has stopped (the message says why).
    void failed(const QString& message);
    // A stretch's file could not be opened (session().openFailure() says why, `error` in the
    // window's words): nothing is armed any more.
    void refused(const QString& path, const QString& error);

private:
    void onSample(const Sample& sample);
    void write(const HeldRow& row);
    bool begin(const StartTrigger::Step& step, const Sample& at);
    void endStretch();

    Acquisition& acquisition_;
    Clock& clock_;
    AlarmSet alarms_;
    RecordingSession session_;
    bool plain_ = false;
    std::unique_ptr<StartTrigger> trigger_;
    Conditions condition_;
    QString path_;
    DetailsNow details_;
    Rate rate_;
    bool replace_ = false;
    int stretches_ = 0;
    std::vector<qint64> stretchRows_;
};

}  // namespace ignivex::watch
