#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ignivex::test {

// The module simulator as a Windows program meets it under Wine: started beforehand on the
// Linux side (bench/windows/run-under-wine), its terminal mapped to a COM port, its control
// channel a named pipe and its answers a file, named by the environment:
//   IGNIVEX_SIM_CONTROL  the pipe the simulator reads its control lines from (Z:\...)
//   IGNIVEX_SIM_REPLIES  the file its standard output goes to, the terminal's path first
//   IGNIVEX_SIM_PORT     the COM port number that leads to its terminal (default 1)
// A Windows program cannot start the Linux simulator as a child with pipes of its own, so the
// options the rigs would start it with are given to the running one as "set" lines instead.
class AttachedSim {
public:
    explicit AttachedSim(const QStringList& options);
    ~AttachedSim();
    AttachedSim(const AttachedSim&) = delete;
    AttachedSim& operator=(const AttachedSim&) = delete;

    // True when the channel is open and every option was taken.
    bool ok() const { return ok_; }
    QString device() const { return device_; }
    int portNumber() const { return portNumber_; }
    // Sends one control line and returns the reply line, or an empty text after `ms`.
    QString command(const QString& line, int ms = 5000);

    // The "set" lines for command-line options: "--engine" is "set engine on", "--id X" is
    // "set id X". Empty when an option is not of that form.
    static QStringList controlLines(const QStringList& options);

private:
    QString readLine(int ms);

    void* control_ = nullptr;  // HANDLE of the pipe
    void* replies_ = nullptr;  // HANDLE of the file
    QByteArray pending_;
    QString device_;
    int portNumber_ = 1;
    bool ok_ = false;
};

}  // namespace ignivex::test
