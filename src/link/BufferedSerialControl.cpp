#include "link/BufferedSerialControl.h"

#include "link/SerialErrors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QStringList>
#include <algorithm>

namespace ignivex {

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings line;
    bool ok = false;
    line.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || line.baud <= 0)
        return std::nullopt;
    const QString p = parts[1].trimmed().toUpper();
    if (p.size() != 1 || !QStringLiteral("NOEMS").contains(p))
        return std::nullopt;
    line.parity = p[0].toLatin1();
    line.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || line.dataBits < 5 || line.dataBits > 8)
        return std::nullopt;
    const QString s = parts[3].trimmed();
    if (s == QLatin1String("1"))
        line.stopHalves = 2;
    else if (s == QLatin1String("1.5"))
        line.stopHalves = 3;
    else if (s == QLatin1String("2"))
        line.stopHalves = 4;
    else
        return std::nullopt;
    return line;
}

BufferedSerialControl::Waiting::Waiting(BufferedSerialControl& port) : port_(port) {
    ++port_.waiting_;
}

BufferedSerialControl::Waiting::~Waiting() {
    if (--port_.waiting_ == 0 && !port_.events_.empty() && !port_.deliveryQueued_) {
        port_.deliveryQueued_ = true;
        QMetaObject::invokeMethod(&port_, &BufferedSerialControl::deliver, Qt::QueuedConnection);
    }
}

BufferedSerialControl::BufferedSerialControl(Clock& clock, QObject* parent)
    : SerialControl(parent), clock_(clock) {}

void BufferedSerialControl::setSettings(const QString& settings) {
    const std::optional<LineSettings> line = parseLineSettings(settings);
    if (!line)
        throw serial::badSettings(settings);
    line_ = *line;
    if (portOpen())
        lineChanged();
}

void BufferedSerialControl::setCommPort(int number) {
    if (portOpen())
        throw serial::portIsOpen(commPort_);
    if (number < 1 || number > 255)
        throw serial::invalidPortNumber(number);
    commPort_ = number;
}

void BufferedSerialControl::setDTREnable(bool enable) {
    dtr_ = enable;
    applyDtr(enable);
}

void BufferedSerialControl::setRTSEnable(bool enable) {
    rts_ = enable;
    applyRts(enable);
}

void BufferedSerialControl::setPortOpen(bool open) {
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
    openDevice(target);
}

QByteArray BufferedSerialControl::input() {
    // Takes in what the driver holds when nothing waits; throws on a port that is not open.
    if (in_.isEmpty() || !portOpen())
        inBufferCount();
    const int take = inputLen_ > 0 ? inputLen_ : int(in_.size());
    const QByteArray out = in_.left(take);
    in_.remove(0, out.size());
    return out;
}

void BufferedSerialControl::receive(QByteArray data) {
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
}

void BufferedSerialControl::post(int code) {
    // An event already waiting to be delivered says all a second one would: a device that
    // streams without end cannot grow the queue.
    if (std::find(events_.begin(), events_.end(), code) != events_.end())
        return;
    events_.push_back(code);
    if (deliveryQueued_)
        return;
    deliveryQueued_ = true;
    // Delivered when window events are next processed: never inside a blocking wait.
    QMetaObject::invokeMethod(this, &BufferedSerialControl::deliver, Qt::QueuedConnection);
}

void BufferedSerialControl::deliver() {
    deliveryQueued_ = false;
    if (waiting_ > 0)
        return;  // the wait queues the delivery again when it ends
    while (!events_.empty()) {
        event_ = events_.front();
        events_.pop_front();
        emit onComm();
    }
}

int BufferedSerialControl::sliceUntil(Instant deadline) const {
    const auto left = deadline - clock_.now();
    if (left <= std::chrono::nanoseconds::zero())
        return 0;
    const auto ms = std::max<long long>(1, std::chrono::ceil<milliseconds>(left).count());
    return int(std::min<long long>(ms, kPaintSliceMs));
}

void BufferedSerialControl::letTheWindowPaint() {
    // Repaints and the window manager's liveness check are not input: they go on. Keys, mouse
    // and menu commands wait until the wait is over; a timer that fires meets the guards that
    // keep a second exchange from starting, and line-fault events stay queued (Waiting).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace ignivex
