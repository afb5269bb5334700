#pragma once

#include "app/CommandLine.h"
#include "app/UnattendedAnswerer.h"
#include "acquire/Acquisition.h"
#include "acquire/ModuleRun.h"
#include "link/CommEventHandler.h"
#include "link/ModuleLink.h"
#include "link/NativeSerialControl.h"
#include "watch/WatchedRecording.h"
#include "base/Clock.h"
#include "base/Module1.h"

#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <memory>
#include <optional>

namespace ignivex {

namespace team {
class Publisher;
}

// The recorder with no window: opens the link as the view does and records until the duration
// ends or SIGINT/SIGTERM/SIGHUP comes, bringing a lost link back into step and waiting for a device
// that went away. Runs under QCoreApplication; nothing here loads a widget.
class HeadlessLogger : public QObject {
    Q_OBJECT
public:
    explicit HeadlessLogger(command_line::Options options, QObject* parent = nullptr);
    ~HeadlessLogger() override;

    // Sets everything up and runs the event loop; returns the exit code.
    int run();

    // Asks the logger to finish (as SIGINT does): the file is closed and the run ends.
    void requestStop(int code);

private:
    enum class Link { Polling, Lost, Waiting };

    void step();
    void reconnect();
    bool deviceMissing() const;
    void finish(int code);
    // A recording made, indexed in the user's library; a line says why where it could not be.
    void addToLibrary(const QString& path);
    void say(const QString& line);
    void showProgress();
    void watchSignals();
    void watchInput();
    void markRecording(const QString& note);
    void markOnSignal();
    void inputLine(const QString& line);
    void watchDeadline();
    void watchRows();
    bool startRecording(const record::Details& details);
    // A spool beside the file from an earlier run goes to its server first; false when its
    // rows could not be sent (recording into the file would lose them).
    bool sendEarlierSpool();
    // --publish: the rows go to the server from their own thread as they reach the file.
    void startPublishing();
    // What waits is sent and the run finished on the server; then the program ends.
    void endPublishing(int code);
    QString summary(const RecordingSession::Progress& p) const;

    command_line::Options options_;
    SteadyClock clock_;
    UnattendedAnswerer boxes_;
    NativeSerialControl port_;
    Module1 state_;
    ModuleLink link_;
    CommEventHandler events_;
    Acquisition acquisition_;
    ModuleRun run_;
    watch::WatchedRecording watched_;
    RecordingSession& session_;
    QTimer poll_;
    QTimer progress_;
    QThread publishThread_;
    team::Publisher* publisher_ = nullptr;  // lives on publishThread_, deleted as it ends
    std::unique_ptr<QSocketNotifier> signals_;
    std::unique_ptr<QSocketNotifier> input_;
    QByteArray inputLine_;
    Link linkState_ = Link::Polling;
    Instant lastOpening_{};
    Instant deadline_{};
    std::optional<Instant> surplusSaid_;
    std::optional<qint64> signalMarkRow_;  // rows handed to the file at the last mark of a signal
    bool inStep_ = false;
    bool stopping_ = false;
    bool finished_ = false;
    int exitCode_ = command_line::kDone;
    bool progressShown_ = false;
    bool terminal_ = false;
};

// The command line's entry: parses the arguments, and runs the logger (or prints help, the
// version or a usage line). Returns the exit code.
int runCommandLine(int argc, char* argv[]);

}  // namespace ignivex
