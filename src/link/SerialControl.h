#pragma once

#include "base/Clock.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace ignivex {

// Event codes of the serial control's OnComm event.
namespace comm {
inline constexpr int EvReceive = 2;      // characters arrived (the tool ignores it)
inline constexpr int ErFrame = 1004;     // framing error
inline constexpr int ErOverrun = 1006;   // hardware overrun
inline constexpr int ErRxOver = 1008;    // receive buffer overflow
inline constexpr int ErRxParity = 1009;  // parity error
inline constexpr int ErDCB = 1011;       // device control block (line setting) error
}  // namespace comm

// The serial port, in the vocabulary the module commands are written in: line settings,
// CommPort, PortOpen, InBufferCount, Output, Input and the OnComm event.
// Every operation that the port refuses throws a CommError whose description says what failed
// and what to do. The real implementation sits on QSerialPort; tests use a scripted fake.
class SerialControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialControl() override = default;

    // Line settings, set while the port is closed and in force from the next opening.
    virtual void setSettings(const QString& settings) = 0;  // "56000,N,8,1"
    virtual void setNullDiscard(bool discard) = 0;
    virtual void setRThreshold(int threshold) = 0;
    virtual void setInputLen(int length) = 0;
    virtual void setDTREnable(bool enable) = 0;
    virtual void setRTSEnable(bool enable) = 0;
    virtual void setInBufferSize(int size) = 0;

    // Port number n (1..255) stands for the platform's port COMn.
    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;

    virtual bool portOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;

    // Received characters waiting to be read; setting 0 discards them.
    virtual int inBufferCount() = 0;
    virtual void setInBufferCount(int count) = 0;

    virtual void output(const QByteArray& bytes) = 0;
    // Reads InputLen waiting characters (fewer if fewer are waiting).
    virtual QByteArray input() = 0;

    // Blocks until at least `count` characters are waiting or `deadline` has passed, whichever
    // comes first. Burns no CPU, and runs no input, no menu command and no OnComm event; the
    // window may repaint meanwhile. Returns at once on a closed port.
    virtual void waitForInput(int count, Instant deadline) = 0;

    // The code of the event being signalled by onComm().
    virtual int commEvent() const = 0;

signals:
    // Raised for received characters and line faults; delivered only while window events are
    // processed, never in the middle of a blocking wait.
    void onComm();
};

}  // namespace ignivex
