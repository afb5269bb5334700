#include "link/QtSerialControl.h"

#include "link/PortMapper.h"
#include "link/SerialErrors.h"

#include <QFile>
#include <QMetaObject>
#include <QStringList>

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

}  // namespace

QtSerialControl::QtSerialControl(Clock& clock, std::unique_ptr<LineFaultSource> faults,
                                 QObject* parent)
    : SerialControl(parent), clock_(clock), faults_(std::move(faults)) {
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
    port_.setPortName(target.path);
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString reason = port_.errorString();
        port_.clearError();
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
    if (lost_)
        throw serial::deviceLost(commPort_, device_);
    if (!port_.isOpen())
        throw serial::notOpen(commPort_,
                              device_.isEmpty() ? port_mapper::deviceFor(commPort_).shown : device_);
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
    // The exchanges wait without an event loop, so the byte has to leave now.
    port_.flush();
    if (port_.bytesToWrite() > 0 && !port_.waitForBytesWritten(1000) && !lost_) {
        port_.clearError();
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

void QtSerialControl::waitForInput(int count, Instant deadline) {
    if (!portOpen())
        return;
    drain();
    while (port_.isOpen() && !lost_ && in_.size() < count) {
        const auto left = deadline - clock_.now();
        if (left <= std::chrono::nanoseconds::zero())
            break;
        const auto ms = std::max<long long>(1, std::chrono::ceil<milliseconds>(left).count());
        // Blocks in poll(): no window events, no CPU. It returns after the first chunk, so
        // loop until the whole reply is in.
        if (!port_.waitForReadyRead(int(ms))) {
            const auto error = port_.error();
            port_.clearError();
            if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError &&
                error != QSerialPort::UnsupportedOperationError && !lost_) {
                markLost();
            }
        }
        drain();
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
    events_.push_back(code);
    if (deliveryQueued_)
        return;
    deliveryQueued_ = true;
    // Delivered when window events are next processed: never inside a blocking wait.
    QMetaObject::invokeMethod(this, &QtSerialControl::deliver, Qt::QueuedConnection);
}

void QtSerialControl::deliver() {
    deliveryQueued_ = false;
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
        this, [this] {
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
