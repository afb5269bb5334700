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

bool parseLine(const QString& text, qint32& baud, QSerialPort::Parity& parity,
               QSerialPort::DataBits& dataBits, QSerialPort::StopBits& stopBits) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;
    const QString p = parts[1].trimmed().toUpper();
    if (p == QLatin1String("N"))
        parity = QSerialPort::NoParity;
    else if (p == QLatin1String("E"))
        parity = QSerialPort::EvenParity;
    else if (p == QLatin1String("O"))
        parity = QSerialPort::OddParity;
    else if (p == QLatin1String("M"))
        parity = QSerialPort::MarkParity;
    else if (p == QLatin1String("S"))
        parity = QSerialPort::SpaceParity;
    else
        return false;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    dataBits = static_cast<QSerialPort::DataBits>(bits);
    const QString s = parts[3].trimmed();
    if (s == QLatin1String("1"))
        stopBits = QSerialPort::OneStop;
    else if (s == QLatin1String("1.5"))
        stopBits = QSerialPort::OneAndHalfStop;
    else if (s == QLatin1String("2"))
        stopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

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

// While a wait runs, line-fault events stay queued: they are delivered at the next event
// processing outside it, as before the waits let the window paint.
class QtSerialControl::Waiting {
public:
    explicit Waiting(QtSerialControl& port) : port_(port) { ++port_.waiting_; }
    ~Waiting() {
        if (--port_.waiting_ == 0 && !port_.events_.empty() && !port_.deliveryQueued_) {
            port_.deliveryQueued_ = true;
            QMetaObject::invokeMethod(&port_, &QtSerialControl::deliver, Qt::QueuedConnection);
        }
    }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    QtSerialControl& port_;
};

QtSerialControl::QtSerialControl(Clock& clock, std::unique_ptr<LineFaultSource> faults,
                                 QObject* parent)
    : SerialControl(parent), clock_(clock), faults_(std::move(faults)) {
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

void QtSerialControl::setSettings(const QString& settings) {
    Line line;
    if (!parseLine(settings, line.baud, line.parity, line.dataBits, line.stopBits))
        throw serial::badSettings(settings);
    line_ = line;
    if (portOpen())
        applyLine();
}

void QtSerialControl::setDTREnable(bool enable) {
    dtr_ = enable;
    if (portOpen()) {
        port_.setDataTerminalReady(enable);  // devices without modem lines refuse: not an error
        port_.clearError();
    }
}

void QtSerialControl::setRTSEnable(bool enable) {
    rts_ = enable;
    if (portOpen()) {
        port_.setRequestToSend(enable);
        port_.clearError();
    }
}

void QtSerialControl::setInBufferSize(int size) {
    inBufferSize_ = size > 0 ? size : 1;
}

void QtSerialControl::setCommPort(int number) {
    if (portOpen())
        throw serial::portIsOpen(commPort_);
    if (number < 1 || number > 255)
        throw serial::invalidPortNumber(number);
    commPort_ = number;
}

bool QtSerialControl::portOpen() const {
    return port_.isOpen() && !lost_;
}

void QtSerialControl::setPortOpen(bool open) {
    if (!open) {
        closeNow();
        lost_ = false;
        return;
    }
    if (portOpen())
        return;
    closeNow();
    lost_ = false;
    in_.clear();
    events_.clear();

    const PortDevice target = port_mapper::deviceFor(commPort_);
    device_ = target.shown;
    if (!target.exists)
        throw serial::noSuchDevice(commPort_, target.shown, port_mapper::portsFolder());
    // A file, pipe or folder is never handed to the serial port: say what it is instead.
    if (const QString kind = notSerialKind(target.path, false); !kind.isEmpty())
        throw serial::notASerialDevice(commPort_, target.shown, kind, port_mapper::portsFolder());
    port_.setPortName(target.path);
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString reason = port_.errorString();
        port_.clearError();
        if (const QString kind = notSerialKind(target.path, true); !kind.isEmpty())
            throw serial::notASerialDevice(commPort_, target.shown, kind,
                                           port_mapper::portsFolder());
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            throw serial::noSuchDevice(commPort_, target.shown, port_mapper::portsFolder());
        case QSerialPort::PermissionError: {
            // Qt says "permission" both for a device we may not use and for one another
            // program holds; the file's own access rights tell the two apart.
            const QByteArray path = QFile::encodeName(target.path);
            if (::access(path.constData(), R_OK | W_OK) == 0)
                throw serial::inUse(commPort_, target.shown);
            throw serial::noPermission(commPort_, target.shown);
        }
        case QSerialPort::OpenError:
            throw serial::inUse(commPort_, target.shown);
        default:
            throw serial::openFailed(commPort_, target.shown, reason);
        }
    }
    applyLine();
    port_.setDataTerminalReady(dtr_);
    port_.setRequestToSend(rts_);
    port_.clearError();
    lastCounts_ = faults_ ? faults_->read(int(port_.handle())) : std::nullopt;
    if (lastCounts_)
        faultPoll_.start();
}

void QtSerialControl::applyLine() {
    const bool ok = port_.setBaudRate(line_.baud) && port_.setParity(line_.parity) &&
                    port_.setDataBits(line_.dataBits) && port_.setStopBits(line_.stopBits) &&
                    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    if (!ok)
        post(comm::ErDCB);
}

void QtSerialControl::requireOpen() const {
    if (lost_) {
        // Only a device node that has vanished tells why; otherwise the cause is not guessed.
        if (!device_.isEmpty() && !QFileInfo::exists(device_))
            throw serial::deviceGone(commPort_, device_);
        throw serial::deviceLost(commPort_, device_);
    }
    if (!port_.isOpen())
        throw serial::notOpen(
            commPort_, device_.isEmpty() ? port_mapper::deviceFor(commPort_).shown : device_);
}

int QtSerialControl::inBufferCount() {
    requireOpen();
    // Take in what the driver holds right now, without waiting.
    while (port_.isOpen() && !lost_ && port_.waitForReadyRead(0))
        drain();
    drain();
    if (lost_) {
        closeNow();
        requireOpen();
    }
    return int(in_.size());
}

void QtSerialControl::setInBufferCount(int count) {
    requireOpen();
    if (count != 0)
        return;
    port_.clear(QSerialPort::Input);
    port_.clearError();
    in_.clear();
}

void QtSerialControl::output(const QByteArray& bytes) {
    requireOpen();
    if (port_.write(bytes) != bytes.size()) {
        const QString reason = port_.errorString();
        port_.clearError();
        throw serial::writeFailed(commPort_, device_, reason);
    }
    // The exchanges wait without running handlers, so the byte has to leave now.
    port_.flush();
    if (port_.bytesToWrite() > 0) {
        Waiting waiting(*this);
        const Instant deadline = clock_.now() + std::chrono::seconds(1);
        while (port_.isOpen() && !lost_ && port_.bytesToWrite() > 0) {
            const int ms = sliceUntil(deadline);
            if (ms <= 0)
                break;
            if (!port_.waitForBytesWritten(ms))
                port_.clearError();
            letTheWindowPaint();
        }
        if (port_.isOpen() && !lost_ && port_.bytesToWrite() > 0)
            throw serial::writeFailed(commPort_, device_,
                                      QStringLiteral("the device took no data for a second"));
    }
    if (lost_) {
        closeNow();
        requireOpen();
    }
}

QByteArray QtSerialControl::input() {
    requireOpen();
    if (in_.isEmpty())
        inBufferCount();
    const int take = inputLen_ > 0 ? inputLen_ : int(in_.size());
    const QByteArray out = in_.left(take);
    in_.remove(0, out.size());
    return out;
}

int QtSerialControl::sliceUntil(Instant deadline) const {
    const auto left = deadline - clock_.now();
    if (left <= std::chrono::nanoseconds::zero())
        return 0;
    const auto ms = std::max<long long>(1, std::chrono::ceil<milliseconds>(left).count());
    return int(std::min<long long>(ms, kPaintSliceMs));
}

void QtSerialControl::letTheWindowPaint() {
    // Repaints and the window manager's liveness check are not input: they go on. Keys, mouse
    // and menu commands wait until the wait is over; a timer that fires meets the guards that
    // keep a second exchange from starting, and line-fault events stay queued (Waiting).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtSerialControl::waitForInput(int count, Instant deadline) {
    if (!portOpen())
        return;
    Waiting waiting(*this);
    drain();
    Instant painted = clock_.now();
    while (port_.isOpen() && !lost_ && in_.size() < count) {
        const int ms = sliceUntil(deadline);
        if (ms <= 0)
            break;
        // Blocks in poll() for a slice at most: no CPU. It returns after the first chunk, so
        // loop until the whole reply is in, letting the window paint between slices.
        if (!port_.waitForReadyRead(ms)) {
            const auto error = port_.error();
            port_.clearError();
            if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError &&
                error != QSerialPort::UnsupportedOperationError && !lost_) {
                markLost();
            }
        }
        drain();
        // A reply that comes a byte at a time wakes the wait for each byte; the window paints
        // once a slice, not at every byte.
        if (in_.size() < count && port_.isOpen() && !lost_ &&
            clock_.now() - painted >= milliseconds(kPaintSliceMs)) {
            letTheWindowPaint();
            painted = clock_.now();
        }
    }
    if (lost_)
        closeNow();
}

void QtSerialControl::drain() {
    if (!port_.isOpen())
        return;
    QByteArray data = port_.readAll();
    if (data.isEmpty())
        return;
    if (nullDiscard_)
        data.replace('\0', QByteArray());
    const qsizetype room = inBufferSize_ - in_.size();
    if (data.size() > room) {
        in_.append(data.left(std::max<qsizetype>(0, room)));
        post(comm::ErRxOver);
    } else {
        in_.append(data);
    }
    if (rThreshold_ > 0 && (events_.empty() || events_.back() != comm::EvReceive))
        post(comm::EvReceive);
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

void QtSerialControl::post(int code) {
    // An event already waiting to be delivered says all a second one would: a device that
    // streams without end cannot grow the queue.
    if (std::find(events_.begin(), events_.end(), code) != events_.end())
        return;
    events_.push_back(code);
    if (deliveryQueued_)
        return;
    deliveryQueued_ = true;
    // Delivered when window events are next processed: never inside a blocking wait.
    QMetaObject::invokeMethod(this, &QtSerialControl::deliver, Qt::QueuedConnection);
}

void QtSerialControl::deliver() {
    deliveryQueued_ = false;
    if (waiting_ > 0)
        return;  // the wait queues the delivery again when it ends
    while (!events_.empty()) {
        event_ = events_.front();
        events_.pop_front();
        emit onComm();
    }
}

void QtSerialControl::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        if (port_.isOpen() && !lost_) {
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
    lost_ = true;
    faultPoll_.stop();
    // Not closed right here: this runs inside QSerialPort's own read path. The waits close it
    // as soon as Qt returns; from the event loop, the queued call does.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (lost_)
                closeNow();
        },
        Qt::QueuedConnection);
}

void QtSerialControl::closeNow() {
    faultPoll_.stop();
    if (port_.isOpen())
        port_.close();
    port_.clearError();
    in_.clear();
    lastCounts_.reset();
}

}  // namespace ignivex
