#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace ignivex::test {

// The module simulator as a child process: started with its options, its device path read
// from its first line, and driven over its control channel. Plain POSIX pipes, so a command
// may be sent from a helper thread while the test's own thread is blocked in a serial wait.
class SimProcess {
public:
    // Starts `program` with `arguments`; XDG_CONFIG_HOME is passed on for its --link.
    SimProcess(const QString& program, const QStringList& arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ok() const { return !device_.isEmpty(); }
    QString device() const { return device_; }
    pid_t pid() const { return pid_; }
    // Sends one control line and returns the reply line ("ok ..." or "error ..."), or an empty
    // text when none comes within `ms`.
    QString command(const QString& line, int ms = 5000);
    // Ends the simulator (SIGTERM) and waits for it.
    void stop();

private:
    QString readLine(int ms);

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    QByteArray pending_;
    QString device_;
};

}  // namespace ignivex::test
