#include "support/FakeSerialControl.h"

#include "link/SerialErrors.h"

namespace ignivex::test {

namespace {
QString flag(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
}  // namespace

FakeSerialControl::FakeSerialControl(FakeClock& clock, QObject* parent)
    : SerialControl(parent), clock_(clock) {}

void FakeSerialControl::setSettings(const QString& settings) {
    log << QStringLiteral("Settings=") + settings;
}
void FakeSerialControl::setNullDiscard(bool discard) {
    log << QStringLiteral("NullDiscard=") + flag(discard);
}
void FakeSerialControl::setRThreshold(int threshold) {
    log << QStringLiteral("RThreshold=%1").arg(threshold);
}
void FakeSerialControl::setInputLen(int length) {
    inputLen_ = length;
    log << QStringLiteral("InputLen=%1").arg(length);
}
void FakeSerialControl::setDTREnable(bool enable) {
    log << QStringLiteral("DTREnable=") + flag(enable);
}
void FakeSerialControl::setRTSEnable(bool enable) {
    log << QStringLiteral("RTSEnable=") + flag(enable);
}
void FakeSerialControl::setInBufferSize(int size) {
    log << QStringLiteral("InBufferSize=%1").arg(size);
}

void FakeSerialControl::setCommPort(int number) {
    if (open_)
        throw serial::portIsOpen(commPort_);
    if (number < 1 || number > 255)
        throw serial::invalidPortNumber(number);
    commPort_ = number;
    log << QStringLiteral("CommPort=%1").arg(number);
}

void FakeSerialControl::setPortOpen(bool open) {
    if (open && openError) {
        log << QStringLiteral("PortOpen=true failed");
        throw *openError;
    }
    if (open == open_)
        return;
    open_ = open;
    log << QStringLiteral("PortOpen=") + flag(open);
    if (open) {
        ++opens;
    } else {
        ++closes;
        in_.clear();
    }
}

void FakeSerialControl::requireOpen() const {
    if (!open_)
        throw serial::notOpen(commPort_, QStringLiteral("fake"));
}

int FakeSerialControl::inBufferCount() {
    requireOpen();
    in_.append(lateIn_);
    lateIn_.clear();
    return int(in_.size());
}

void FakeSerialControl::setInBufferCount(int count) {
    requireOpen();
    log << QStringLiteral("InBufferCount=%1").arg(count);
    if (count == 0)
        in_.clear();
}

void FakeSerialControl::output(const QByteArray& bytes) {
    requireOpen();
    for (char c : bytes) {
        const auto command = static_cast<quint8>(c);
        written.append(c);
        log << QStringLiteral("Output=%1").arg(command);
        if (once_.contains(command) && !once_[command].isEmpty())
            in_.append(once_[command].takeFirst());
        else
            in_.append(replies_.value(command));
        lateIn_.append(late_.value(command));
        if (onOutput)
            onOutput(command);
    }
}

QByteArray FakeSerialControl::input() {
    requireOpen();
    const int take = inputLen_ > 0 ? inputLen_ : int(in_.size());
    const QByteArray out = in_.left(take);
    in_.remove(0, out.size());
    return out;
}

void FakeSerialControl::waitForInput(int count, Instant deadline) {
    if (!open_)
        return;
    if (in_.size() < count)
        clock_.advanceTo(deadline);
}

void FakeSerialControl::clearReply(quint8 command) {
    replies_.remove(command);
    once_.remove(command);
    late_.remove(command);
}

void FakeSerialControl::raiseEvent(int code) {
    event_ = code;
    emit onComm();
}

}  // namespace ignivex::test
