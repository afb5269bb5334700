#pragma once

#include "link/LineFaultSource.h"
#include "link/SerialControl.h"

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
class QtSerialControl final : public SerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(
        Clock& clock,
        std::unique_ptr<LineFaultSource> faults = std::make_unique<DriverFaultCounters>(),
        QObject* parent = nullptr);
    ~QtSerialControl() override;

    void setSettings(const QString& settings) override;
    void setNullDiscard(bool discard) override { nullDiscard_ = discard; }
    void setRThreshold(int threshold) override { rThreshold_ = threshold; }
    void setInputLen(int length) override { inputLen_ = length; }
    void setDTREnable(bool enable) override;
    void setRTSEnable(bool enable) override;
    void setInBufferSize(int size) override;
    void setCommPort(int number) override;
    int commPort() const override { return commPort_; }
    bool portOpen() const override;
    void setPortOpen(bool open) override;
    int inBufferCount() override;
    void setInBufferCount(int count) override;
    void output(const QByteArray& bytes) override;
    QByteArray input() override;
    void waitForInput(int count, Instant deadline) override;
    int commEvent() const override { return event_; }

    // True inside a blocking wait: keyboard and mouse input waits until it is over.
    bool waiting() const { return waiting_ > 0; }
    // The device the open (or last opened) port stands on.
    QString device() const { return device_; }
    // How often the driver's fault counters are read while the port is open.
    static constexpr int kFaultPollMs = 100;
    // The blocking waits sleep at most this long before they let the window paint.
    static constexpr int kPaintSliceMs = 20;
    // What QSerialPort may hold between two looks of ours.
    static constexpr qint64 kDriverReadBuffer = 4096;

private:
    struct Line {
        qint32 baud = 9600;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    };

    class Waiting;

    void requireOpen() const;
    int sliceUntil(Instant deadline) const;  // milliseconds of the next slice, 0 when past
    void letTheWindowPaint();
    void applyLine();
    void drain();  // moves what QSerialPort holds into our receive buffer
    void pollFaults();
    void post(int code);  // queues an OnComm event for the next event processing
    void deliver();
    void onError(QSerialPort::SerialPortError error);
    void markLost();
    void closeNow();

    Clock& clock_;
    std::unique_ptr<LineFaultSource> faults_;
    QSerialPort port_;
    QTimer faultPoll_;
    Line line_;
    QByteArray in_;
    std::deque<int> events_;
    std::optional<LineFaultCounts> lastCounts_;
    QString device_;
    int commPort_ = 1;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    int inBufferSize_ = 1024;
    int event_ = 0;
    bool nullDiscard_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    bool lost_ = false;
    bool deliveryQueued_ = false;
    int waiting_ = 0;
};

}  // namespace ignivex
