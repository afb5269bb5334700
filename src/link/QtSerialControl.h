#pragma once

#include "link/LineFaultSource.h"
#include "link/BufferedSerialControl.h"

#include <QSerialPort>
#include <QTimer>
#include <deque>
#include <memory>

namespace ignivex {

// The serial control on QSerialPort.
//
// Received characters are moved from QSerialPort into a receive buffer of our own, so that
// InBufferCount, InBufferSize (overflow -> receive-buffer event) and NullDiscard behave as the
// control's properties say. Line faults come from the driver's counters, polled while the port
// is open. A read, write or resource error on an open port means the device is gone (Qt 6.4
// keeps signalling a hung-up line at full speed): the port is closed at once and the next
// operation reports the lost connection. The blocking waits sleep in slices and let the window
// repaint between them, but run no input, no menu command and no line-fault event.
class QtSerialControl final : public BufferedSerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(
        Clock& clock,
        std::unique_ptr<LineFaultSource> faults = std::make_unique<DriverFaultCounters>(),
        QObject* parent = nullptr);
    ~QtSerialControl() override;

    bool portOpen() const override;
    int inBufferCount() override;
    void setInBufferCount(int count) override;
    void output(const QByteArray& bytes) override;
    void waitForInput(int count, Instant deadline) override;

    // What QSerialPort may hold between two looks of ours.
    static constexpr qint64 kDriverReadBuffer = 4096;

private:
    void requireOpen() const;
    void lineChanged() override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    void drain();  // moves what QSerialPort holds into our receive buffer
    void pollFaults();
    void onError(QSerialPort::SerialPortError error);
    void markLost();
    void openDevice(const PortDevice& target) override;
    void closeNow() override;

    std::unique_ptr<LineFaultSource> faults_;
    QSerialPort port_;
    QTimer faultPoll_;
    std::optional<LineFaultCounts> lastCounts_;
};

}  // namespace ignivex
