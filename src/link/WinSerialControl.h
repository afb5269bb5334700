#pragma once

#include "link/BufferedSerialControl.h"

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
class WinSerialControl final : public BufferedSerialControl {
    Q_OBJECT
public:
    explicit WinSerialControl(Clock& clock, QObject* parent = nullptr);
    ~WinSerialControl() override;

    bool portOpen() const override;
    int inBufferCount() override;
    void setInBufferCount(int count) override;
    void output(const QByteArray& bytes) override;
    void waitForInput(int count, Instant deadline) override;

    // A write that the driver has not sent within this time has failed.
    static constexpr int kWriteTimeoutMs = 1000;

private:
    void requireOpen() const;
    void lineChanged() override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    bool applyLine();
    void setModemLine(bool on, unsigned long setCode, unsigned long clearCode);
    // Reads what the driver holds, and up to `more` further bytes that arrive within
    // `timeoutMs`. False when the device failed (the port is then marked lost).
    bool takeIn(int more = 0, int timeoutMs = 0);
    bool readOverlapped(int count, int timeoutMs, QByteArray& into);
    bool setReadTimeout(int timeoutMs);
    void markLost();
    void openDevice(const PortDevice& target) override;
    void closeNow() override;

    void* handle_;  // HANDLE; INVALID_HANDLE_VALUE while closed
    void* readEvent_ = nullptr;
    void* writeEvent_ = nullptr;
    QTimer linePoll_;
    std::optional<unsigned long> modem_;
    int readTimeoutMs_ = -1;  // the read time-out in force, so it is set only when it changes
};

}  // namespace ignivex
