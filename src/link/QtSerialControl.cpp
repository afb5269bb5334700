#include "link/QtSerialControl.h"

#include "link/PortMapper.h"
#include "link/SerialErrors.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QStringList>
#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ignivex {

namespace {

// What stands at `path` when it is not a serial device, or an empty text when it may be one
// (or cannot be told). Only a terminal can be set to a line speed.
QString notSerialKind(const QString& path, bool probeDevice) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    Q_UNUSED(probeDevice);
    return {};
#else
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return {};
    if (S_ISREG(st.st_mode))
        return QStringLiteral("a plain file");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("a named pipe");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("a folder");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("a socket");
    if (S_ISBLK(st.st_mode))
        return QStringLiteral("a disk (a block device)");
    if (!probeDevice)
        return {};
    // A character device: only a terminal is a serial line (/dev/null, for one, is not).
    const int fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal ? QString() : QStringLiteral("a device that is not a terminal");
#endif
}

}  // namespace

QtSerialControl::QtSerialControl(Clock& clock, std::unique_ptr<LineFaultSource> faults,
                                 QObject* parent)
    : BufferedSerialControl(clock, parent), faults_(std::move(faults)) {
    // Qt's own buffer is bounded too: a device that streams without end cannot fill the memory
    // between two looks (what does not fit waits in the driver, which drops it when full).
    port_.setReadBufferSize(kDriverReadBuffer);
    connect(&port_, &QSerialPort::readyRead, this, [this] { drain(); });
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
    faultPoll_.setInterval(kFaultPollMs);
    connect(&faultPoll_, &QTimer::timeout, this, &QtSerialControl::pollFaults);
}

QtSerialControl::~QtSerialControl() {
    closeNow();
}

void QtSerialControl::applyDtr(bool on) {
    if (portOpen()) {
        port_.setDataTerminalReady(on);  // devices without modem lines refuse: not an error
        port_.clearError();
    }
}

void QtSerialControl::applyRts(bool on) {
    if (portOpen()) {
        port_.setRequestToSend(on);
        port_.clearError();
    }
}

bool QtSerialControl::portOpen() const {
    return port_.isOpen() && !lost();
}

void QtSerialControl::openDevice(const PortDevice& target) {
    if (!target.exists)
        throw serial::noSuchDevice(commPort(), target.shown, port_mapper::portsFolder());
    // A file, pipe or folder is never handed to the serial port: say what it is instead.
    if (const QString kind = notSerialKind(target.path, false); !kind.isEmpty())
        throw serial::notASerialDevice(commPort(), target.shown, kind, port_mapper::portsFolder());
    port_.setPortName(target.path);
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString reason = port_.errorString();
        port_.clearError();
        if (const QString kind = notSerialKind(target.path, true); !kind.isEmpty())
            throw serial::notASerialDevice(commPort(), target.shown, kind,
                                           port_mapper::portsFolder());
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            throw serial::noSuchDevice(commPort(), target.shown, port_mapper::portsFolder());
        case QSerialPort::PermissionError: {
            // Qt says "permission" both for a device we may not use and for one another
            // program holds; the file's own access rights tell the two apart.
            const QByteArray path = QFile::encodeName(target.path);
            if (::access(path.constData(), R_OK | W_OK) == 0)
                throw serial::inUse(commPort(), target.shown);
            throw serial::noPermission(commPort(), target.shown);
        }
        case QSerialPort::OpenError:
            throw serial::inUse(commPort(), target.shown);
        default:
            throw serial::openFailed(commPort(), target.shown, reason);
        }
    }
    lineChanged();
    port_.setDataTerminalReady(dtr());
    port_.setRequestToSend(rts());
    port_.clearError();
    lastCounts_ = faults_ ? faults_->read(int(port_.handle())) : std::nullopt;
    if (lastCounts_)
        faultPoll_.start();
}

void QtSerialControl::lineChanged() {
    const auto parity = line().parity == 'E'   ? QSerialPort::EvenParity
                        : line().parity == 'O' ? QSerialPort::OddParity
                        : line().parity == 'M' ? QSerialPort::MarkParity
                        : line().parity == 'S' ? QSerialPort::SpaceParity
                                               : QSerialPort::NoParity;
    const auto stop = line().stopHalves == 3   ? QSerialPort::OneAndHalfStop
                      : line().stopHalves == 4 ? QSerialPort::TwoStop
                                               : QSerialPort::OneStop;
    const bool ok = port_.setBaudRate(line().baud) && port_.setParity(parity) &&
                    port_.setDataBits(QSerialPort::DataBits(line().dataBits)) &&
                    port_.setStopBits(stop) && port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    if (!ok)
        post(comm::ErDCB);
}

void QtSerialControl::requireOpen() const {
    if (lost()) {
        // Only a device node that has vanished tells why; otherwise the cause is not guessed.
        if (!device().isEmpty() && !QFileInfo::exists(device()))
            throw serial::deviceGone(commPort(), device());
        throw serial::deviceLost(commPort(), device());
    }
    if (!port_.isOpen())
        throw serial::notOpen(
            commPort(), device().isEmpty() ? port_mapper::deviceFor(commPort()).shown : device());
}

int QtSerialControl::inBufferCount() {
    requireOpen();
    // Take in what the driver holds right now, without waiting.
    while (port_.isOpen() && !lost() && port_.waitForReadyRead(0))
        drain();
    drain();
    if (lost()) {
        closeNow();
        requireOpen();
    }
    return buffered();
}

void QtSerialControl::setInBufferCount(int count) {
    requireOpen();
    if (count != 0)
        return;
    port_.clear(QSerialPort::Input);
    port_.clearError();
    dropBuffered();
}

void QtSerialControl::output(const QByteArray& bytes) {
    requireOpen();
    if (port_.write(bytes) != bytes.size()) {
        const QString reason = port_.errorString();
        port_.clearError();
        throw serial::writeFailed(commPort(), device(), reason);
    }
    // The exchanges wait without running handlers, so the byte has to leave now.
    port_.flush();
    if (port_.bytesToWrite() > 0) {
        Waiting waiting(*this);
        const Instant deadline = clock().now() + std::chrono::seconds(1);
        while (port_.isOpen() && !lost() && port_.bytesToWrite() > 0) {
            const int ms = sliceUntil(deadline);
            if (ms <= 0)
                break;
            if (!port_.waitForBytesWritten(ms))
                port_.clearError();
            letTheWindowPaint();
        }
        if (port_.isOpen() && !lost() && port_.bytesToWrite() > 0)
            throw serial::writeFailed(commPort(), device(),
                                      QStringLiteral("the device took no data for a second"));
    }
    if (lost()) {
        closeNow();
        requireOpen();
    }
}

void QtSerialControl::waitForInput(int count, Instant deadline) {
    if (!portOpen())
        return;
    Waiting waiting(*this);
    drain();
    Instant painted = clock().now();
    while (port_.isOpen() && !lost() && buffered() < count) {
        const int ms = sliceUntil(deadline);
        if (ms <= 0)
            break;
        // Blocks in poll() for a slice at most: no CPU. It returns after the first chunk, so
        // loop until the whole reply is in, letting the window paint between slices.
        if (!port_.waitForReadyRead(ms)) {
            const auto error = port_.error();
            port_.clearError();
            if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError &&
                error != QSerialPort::UnsupportedOperationError && !lost()) {
                markLost();
            }
        }
        drain();
        // A reply that comes a byte at a time wakes the wait for each byte; the window paints
        // once a slice, not at every byte.
        if (buffered() < count && port_.isOpen() && !lost() &&
            clock().now() - painted >= milliseconds(kPaintSliceMs)) {
            letTheWindowPaint();
            painted = clock().now();
        }
    }
    if (lost())
        closeNow();
}

void QtSerialControl::drain() {
    if (!port_.isOpen())
        return;
    QByteArray data = port_.readAll();
    if (data.isEmpty())
        return;
    receive(std::move(data));
    pollFaults();
}

void QtSerialControl::pollFaults() {
    if (!port_.isOpen() || !faults_ || !lastCounts_)
        return;
    const auto counts = faults_->read(int(port_.handle()));
    if (!counts) {
        faultPoll_.stop();
        lastCounts_.reset();
        return;
    }
    if (counts->frame > lastCounts_->frame)
        post(comm::ErFrame);
    if (counts->overrun > lastCounts_->overrun)
        post(comm::ErOverrun);
    if (counts->bufferOverrun > lastCounts_->bufferOverrun)
        post(comm::ErRxOver);
    if (counts->parity > lastCounts_->parity)
        post(comm::ErRxParity);
    lastCounts_ = counts;
}

void QtSerialControl::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        if (port_.isOpen() && !lost()) {
            markLost();
            port_.clearError();
        }
        return;
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        // Time-outs of our own waits, and modem lines a device lacks: not faults.
        port_.clearError();
        return;
    default:
        return;  // an opening that failed: setPortOpen reads it
    }
}

void QtSerialControl::markLost() {
    noteLost();
    faultPoll_.stop();
    // Not closed right here: this runs inside QSerialPort's own read path. The waits close it
    // as soon as Qt returns; from the event loop, the queued call does.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (lost())
                closeNow();
        },
        Qt::QueuedConnection);
}

void QtSerialControl::closeNow() {
    faultPoll_.stop();
    if (port_.isOpen())
        port_.close();
    port_.clearError();
    dropBuffered();
    lastCounts_.reset();
}

}  // namespace ignivex
