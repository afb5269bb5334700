#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ignivex::test {

// A pseudo-terminal whose far end (the master) the test holds: what the tool writes comes out
// here, and what the test writes here arrives at the tool.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    QString device() const { return device_; }
    void write(const QByteArray& bytes);
    // Reads what has arrived, waiting up to `ms` for the first byte.
    QByteArray read(int ms = 1000);
    // Hangs up: closes the master, as an unplugged adapter would.
    void hangUp();

    // The line settings of the device as the tool set them (baud -1: a standard rate code).
    struct Line {
        int baud = -1;
        int dataBits = 0;
        bool parity = false;
        int stopBits = 0;
        bool hardwareFlow = false;
    };
    std::optional<Line> line() const;

private:
    int master_ = -1;
    QString device_;
};

// CPU time (user + system) this process has used so far, in milliseconds.
double processCpuMs();

// A loop that spins burns a whole CPU; one that sleeps in poll() or the event loop, next to
// nothing. Half a CPU over the measured stretch is the line between them.
inline bool spun(double cpuMs, double wallMs) {
    return cpuMs > wallMs / 2;
}

}  // namespace ignivex::test
