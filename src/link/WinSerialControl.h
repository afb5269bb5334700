#pragma once

#include "link/SerialControl.h"

#include <QByteArray>
#include <QTimer>
#include <deque>
#include <optional>

namespace ignivex {

// The serial control on Win32: \\.\COMn opened for overlapped I/O, the line set through the
// DCB, every read and write bounded by COMMTIMEOUTS so that none can hang.
//
// Data is taken in two ways: what the driver already holds (ClearCommError's count) is read
// at once, and a wait for more issues a read for just the bytes still missing, whose total
// time-out ends at the next paint slice or the deadline, whichever is first. Nothing depends
// on WaitCommEvent: under Wine it completes at once on a pseudo-terminal, and a read with a
// time-out serves on every driver. Line faults and modem-line changes come from
// ClearCommError and GetCommModemStatus, looked at with every take-in and on a timer while
// the port is open. The blocking waits let the window paint between slices but run no input,
// no menu command and no OnComm event, as on the other platforms.
class WinSerialControl final : public SerialControl {
    Q_OBJECT
public:
    explicit WinSerialControl(Clock& clock, QObject* parent = nullptr);
    ~WinSerialControl() override;

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

    static constexpr int kFaultPollMs = 100;
    static constexpr int kPaintSliceMs = 20;
    // A write that the driver has not sent within this time has failed.
    static constexpr int kWriteTimeoutMs = 1000;

private:
    struct Line {
        unsigned long baud = 9600;
        unsigned char parity = 0;  // NOPARITY, ODDPARITY, ... as the DCB counts them
        unsigned char dataBits = 8;
        unsigned char stopBits = 0;  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    };
    class Waiting;

    void requireOpen() const;
    bool applyLine();
    void setModemLine(bool on, unsigned long setCode, unsigned long clearCode);
    // Reads what the driver holds, and up to `more` further bytes that arrive within
    // `timeoutMs`. False when the device failed (the port is then marked lost).
    bool takeIn(int more = 0, int timeoutMs = 0);
    bool readOverlapped(int count, int timeoutMs, QByteArray& into);
    bool setReadTimeout(int timeoutMs);
    void append(QByteArray data);
    void lookAtLine();
    void post(int code);
    void deliver();
    void letTheWindowPaint();
    int sliceUntil(Instant deadline) const;
    void markLost();
    void closeNow();

    Clock& clock_;
    void* handle_;  // HANDLE; INVALID_HANDLE_VALUE while closed
    void* readEvent_ = nullptr;
    void* writeEvent_ = nullptr;
    QTimer linePoll_;
    Line line_;
    QByteArray in_;
    std::deque<int> events_;
    std::optional<unsigned long> modem_;
    QString device_;
    int commPort_ = 1;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    int inBufferSize_ = 1024;
    int readTimeoutMs_ = -1;  // the read time-out in force, so it is set only when it changes
    int event_ = 0;
    bool nullDiscard_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    bool lost_ = false;
    bool deliveryQueued_ = false;
    int waiting_ = 0;
};

}  // namespace ignivex
