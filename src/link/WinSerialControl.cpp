#include "link/WinSerialControl.h"

#include "link/LineEvents.h"
#include "link/PortMapper.h"
#include "link/WinPorts.h"
#include "link/WinSerialErrors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QStringList>
#include <algorithm>

#include <windows.h>

namespace ignivex {

namespace {

HANDLE h(void* handle) {
    return static_cast<HANDLE>(handle);
}

// Errors that mean the device itself is gone or broken, not that a read ran out of time.
bool deviceFailed(DWORD error) {
    return error != ERROR_SUCCESS && error != ERROR_TIMEOUT && error != ERROR_IO_PENDING &&
           error != ERROR_IO_INCOMPLETE;
}

}  // namespace

WinSerialControl::WinSerialControl(Clock& clock, QObject* parent)
    : BufferedSerialControl(clock, parent), handle_(INVALID_HANDLE_VALUE) {
    readEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    linePoll_.setInterval(kFaultPollMs);
    connect(&linePoll_, &QTimer::timeout, this, [this] {
        if (portOpen() && !waiting() && !takeIn())
            closeNow();
    });
}

WinSerialControl::~WinSerialControl() {
    closeNow();
    if (readEvent_)
        CloseHandle(h(readEvent_));
    if (writeEvent_)
        CloseHandle(h(writeEvent_));
}

void WinSerialControl::lineChanged() {
    if (!applyLine())
        post(comm::ErDCB);
}

void WinSerialControl::setModemLine(bool on, unsigned long setCode, unsigned long clearCode) {
    // A device without modem lines (a pseudo-terminal under Wine) refuses: not an error.
    if (handle_ != INVALID_HANDLE_VALUE)
        EscapeCommFunction(h(handle_), on ? setCode : clearCode);
}

void WinSerialControl::applyDtr(bool on) {
    setModemLine(on, SETDTR, CLRDTR);
}

void WinSerialControl::applyRts(bool on) {
    setModemLine(on, SETRTS, CLRRTS);
}

bool WinSerialControl::portOpen() const {
    return handle_ != INVALID_HANDLE_VALUE && !lost();
}

void WinSerialControl::openDevice(const PortDevice& target) {
    const std::wstring path = target.path.toStdWString();
    HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: {
            QStringList present;
            for (const win_ports::ComPort& p : win_ports::present())
                present << p.name;
            throw serial::noSuchComPort(commPort(), target.shown, present);
        }
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            // Windows gives a COM port to one program at a time.
            throw serial::inUse(commPort(), target.shown);
        default:
            throw serial::openFailed(commPort(), target.shown, serial::systemMessage(error));
        }
    }
    handle_ = port;
    readTimeoutMs_ = -1;
    // The driver's own queues; the receive buffer of the control is ours (see receive()).
    SetupComm(port, 4096, 4096);
    if (!applyLine())
        post(comm::ErDCB);
    setReadTimeout(kPaintSliceMs);  // sets the write time-out too
    setModemLine(dtr(), SETDTR, CLRDTR);
    setModemLine(rts(), SETRTS, CLRRTS);
    PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    DWORD errors = 0;
    ClearCommError(port, &errors, nullptr);  // faults of an earlier user are not ours
    DWORD status = 0;
    modem_ =
        GetCommModemStatus(port, &status) ? std::optional<unsigned long>(status) : std::nullopt;
    linePoll_.start();
}

bool WinSerialControl::applyLine() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h(handle_), &dcb))
        return false;
    dcb.BaudRate = DWORD(line().baud);
    dcb.ByteSize = BYTE(line().dataBits);
    // The DCB counts parities as NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY.
    dcb.Parity = BYTE(QByteArrayView("NOEMS").indexOf(line().parity));
    dcb.StopBits = line().stopHalves == 3   ? ONE5STOPBITS
                   : line().stopHalves == 4 ? TWOSTOPBITS
                                            : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = line().parity != 'N';
    // No flow control: the module has no handshake lines, and DTR and RTS are set by hand.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = dtr() ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = rts() ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;          // NullDiscard is applied to our own buffer
    dcb.fAbortOnError = FALSE;  // a fault must not stop the line until it is read
    return SetCommState(h(handle_), &dcb) != 0;
}

bool WinSerialControl::setReadTimeout(int timeoutMs) {
    if (timeoutMs == readTimeoutMs_)
        return true;
    // A read ends when all asked bytes are in or the total time has passed. MAXDWORD
    // intervals are avoided: under Wine they never complete on an overlapped handle.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = DWORD(std::max(1, timeoutMs));
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!SetCommTimeouts(h(handle_), &timeouts))
        return false;
    readTimeoutMs_ = timeoutMs;
    return true;
}

bool WinSerialControl::readOverlapped(int count, int timeoutMs, QByteArray& into) {
    if (count <= 0)
        return true;
    if (!setReadTimeout(timeoutMs))
        return !deviceFailed(GetLastError());
    QByteArray buffer(count, Qt::Uninitialized);
    OVERLAPPED ov{};
    ov.hEvent = h(readEvent_);
    ResetEvent(ov.hEvent);
    DWORD got = 0;
    if (!ReadFile(h(handle_), buffer.data(), DWORD(count), &got, &ov)) {
        DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return !deviceFailed(error);
        // The driver ends the read by its time-out; the wait only guards against one that
        // does not (a broken driver), and then the read is cancelled.
        if (WaitForSingleObject(ov.hEvent, DWORD(timeoutMs) + 1000) != WAIT_OBJECT_0)
            CancelIo(h(handle_));
        if (!GetOverlappedResult(h(handle_), &ov, &got, TRUE)) {
            error = GetLastError();
            // A read that ran out of time ends with ERROR_TIMEOUT under Wine: no data.
            if (error != ERROR_TIMEOUT && error != ERROR_OPERATION_ABORTED)
                return false;
        }
    }
    buffer.truncate(qsizetype(got));
    into += buffer;
    return true;
}

bool WinSerialControl::takeIn(int more, int timeoutMs) {
    if (!portOpen())
        return true;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(h(handle_), &errors, &status)) {
        markLost();
        return false;
    }
    QByteArray data;
    bool ok = readOverlapped(int(status.cbInQue), 0, data);
    if (ok && more > 0)
        ok = readOverlapped(more, timeoutMs, data);
    DWORD modemNow = 0;
    const std::optional<unsigned long> modem = GetCommModemStatus(h(handle_), &modemNow)
                                                   ? std::optional<unsigned long>(modemNow)
                                                   : std::nullopt;
    const auto before = modem_ ? std::optional<std::uint32_t>(*modem_) : std::nullopt;
    const auto now = modem ? std::optional<std::uint32_t>(*modem) : std::nullopt;
    modem_ = modem;
    receive(std::move(data));
    for (const int code : line_events::fromDriver(errors, before, now))
        post(code);
    if (!ok) {
        markLost();
        return false;
    }
    return true;
}

void WinSerialControl::requireOpen() const {
    if (lost())
        throw serial::deviceLost(commPort(), device());
    if (handle_ == INVALID_HANDLE_VALUE)
        throw serial::notOpen(
            commPort(), device().isEmpty() ? port_mapper::deviceFor(commPort()).shown : device());
}

int WinSerialControl::inBufferCount() {
    requireOpen();
    if (!takeIn()) {
        closeNow();
        requireOpen();
    }
    return buffered();
}

void WinSerialControl::setInBufferCount(int count) {
    requireOpen();
    if (count != 0)
        return;
    PurgeComm(h(handle_), PURGE_RXCLEAR);
    dropBuffered();
}

void WinSerialControl::output(const QByteArray& bytes) {
    requireOpen();
    OVERLAPPED ov{};
    ov.hEvent = h(writeEvent_);
    ResetEvent(ov.hEvent);
    DWORD sent = 0;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(h(handle_), bytes.constData(), DWORD(bytes.size()), &sent, &ov)) {
        error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            error = ERROR_SUCCESS;
            // The write time-out ends it in the driver; the window paints meanwhile.
            Waiting waiting(*this);
            const Instant deadline = clock().now() + milliseconds(kWriteTimeoutMs + 1000);
            while (WaitForSingleObject(ov.hEvent, DWORD(kPaintSliceMs)) == WAIT_TIMEOUT) {
                if (sliceUntil(deadline) <= 0) {
                    CancelIo(h(handle_));
                    break;
                }
                letTheWindowPaint();
            }
            if (!GetOverlappedResult(h(handle_), &ov, &sent, TRUE))
                error = GetLastError();
        }
    }
    if (error == ERROR_SUCCESS && sent == DWORD(bytes.size()))
        return;
    if (error == ERROR_SUCCESS || error == ERROR_TIMEOUT || error == ERROR_OPERATION_ABORTED)
        throw serial::writeFailed(commPort(), device(),
                                  QStringLiteral("the device took no data for a second"));
    markLost();
    closeNow();
    throw serial::writeFailed(commPort(), device(), serial::systemMessage(error));
}

void WinSerialControl::waitForInput(int count, Instant deadline) {
    if (!portOpen())
        return;
    Waiting waiting(*this);
    if (!takeIn()) {
        closeNow();
        return;
    }
    Instant painted = clock().now();
    while (portOpen() && buffered() < count) {
        const int ms = sliceUntil(deadline);
        if (ms <= 0)
            break;
        // Blocks in the driver until the missing bytes are in or the slice is over: no CPU.
        if (!takeIn(count - buffered(), ms)) {
            closeNow();
            return;
        }
        if (buffered() < count && clock().now() - painted >= milliseconds(kPaintSliceMs)) {
            letTheWindowPaint();
            painted = clock().now();
        }
    }
}

void WinSerialControl::markLost() {
    noteLost();
    linePoll_.stop();
}

void WinSerialControl::closeNow() {
    linePoll_.stop();
    if (handle_ != INVALID_HANDLE_VALUE) {
        CancelIo(h(handle_));
        CloseHandle(h(handle_));
        handle_ = INVALID_HANDLE_VALUE;
    }
    dropBuffered();
    modem_.reset();
}

}  // namespace ignivex
