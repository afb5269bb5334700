#include "link/ModuleLink.h"

#include "base/AppIdentity.h"
#include "recovery/CommError.h"
#include "link/Scaling.h"

#include <QCoreApplication>
#include <limits>

namespace ignivex {

namespace {
constexpr auto kReplyTimeout = std::chrono::seconds(1);
// How long the identification loop sleeps waiting for the next character before it lets
// window events run again.
constexpr auto kIdSlice = milliseconds(10);

std::uint8_t byteAt(const QByteArray& bytes, int index) {
    return index < bytes.size() ? static_cast<std::uint8_t>(bytes[index]) : 0;
}

void processWindowEvents() {
    QCoreApplication::processEvents();
}
}  // namespace

class ModuleLink::Running {
public:
    explicit Running(ModuleLink& link) : link_(link) { ++link_.running_; }
    ~Running() { --link_.running_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    ModuleLink& link_;
};

ModuleLink::ModuleLink(SerialControl& port, Clock& clock, MessageBoxes& boxes, Module1& state,
                       QObject* parent)
    : QObject(parent), port_(port), clock_(clock), boxes_(boxes), state_(state) {}

void ModuleLink::closePortIfOpen() {
    if (port_.portOpen())
        port_.setPortOpen(false);
}

void ModuleLink::DelayTimer(const std::int32_t& milliseconds) {
    const std::int64_t micro = std::int64_t(milliseconds) * 1000;
    if (micro > std::numeric_limits<std::int32_t>::max() ||
        micro < std::numeric_limits<std::int32_t>::min())
        throw CommError(kErrOverflow, kAppName, QStringLiteral("Overflow"));
    const Instant end = clock_.now() + microseconds(micro);
    processWindowEvents();
    while (clock_.now() < end)
        clock_.pauseUntil(end);
}

bool ModuleLink::openIfClosed(Recovery& r) {
    if (port_.portOpen())
        return true;
    return r.step([&] { port_.setCommPort(portNumber); }) &&
           r.step([&] { port_.setPortOpen(true); });
}

bool ModuleLink::exchange(Recovery& r, std::uint8_t command, int expected, QByteArray& reply,
                          OnTimeout onTimeout) {
    linkReady = false;
    if (!openIfClosed(r))
        return false;
    if (!r.step([&] { port_.setInBufferCount(0); }))
        return false;
    if (!r.step([&] { port_.output(QByteArray(1, static_cast<char>(command))); }))
        return false;
    const Instant deadline = clock_.now() + kReplyTimeout;
    if (!r.step([&] { port_.waitForInput(expected, deadline); }))
        return false;
    // Counted again after the wait: a byte that came in just after the deadline still counts.
    int count = 0;
    if (!r.step([&] { count = port_.inBufferCount(); }))
        return false;
    if (count < expected) {
        if (onTimeout == OnTimeout::LeaveQuietly)
            return false;
        if (!r.step([&] { closePortIfOpen(); }))
            return false;
        // Retry shows the same prompt again without sending anything; Ignore ends the command.
        (void)r.step([] { throw CommError::raised(QString::fromLatin1(kTimeoutText)); },
                     Recovery::OnIgnore::EndProcedure);
        return false;
    }
    reply = QByteArray(expected, '\0');
    for (int i = 0; i < expected; ++i) {
        if (!r.step([&] { reply[i] = static_cast<char>(byteAt(port_.input(), 0)); }))
            return false;
    }
    return true;
}

bool ModuleLink::ReSync() {
    Running running(*this);
    Recovery r(boxes_, [this] { closePortIfOpen(); });
    QByteArray reply;
    // No reply is not reported here: the caller tries again.
    if (!exchange(r, kSync, 1, reply, OnTimeout::LeaveQuietly))
        return false;
    if (!r.step([&] { DelayTimer(2); }))
        return false;
    if (byteAt(reply, 0) == kAcknowledge)
        linkReady = true;
    return linkReady;
}

bool ModuleLink::ReadFirmwareID() {
    Running running(*this);
    Recovery r(boxes_, [this] { closePortIfOpen(); });
    linkReady = false;
    state_.firmwareId.clear();
    if (!openIfClosed(r))
        return false;
    if (!r.step([&] { port_.setInBufferCount(0); }))
        return false;
    if (!r.step([&] { port_.output(QByteArray(1, static_cast<char>(kIdentify))); }))
        return false;

    const Instant deadline = clock_.now() + kReplyTimeout;
    QByteArray collected;
    while (clock_.now() <= deadline) {
        int count = 0;
        if (!r.step([&] { count = port_.inBufferCount(); }))
            return false;
        if (count > 0) {
            QByteArray c;
            if (!r.step([&] { c = port_.input(); }))
                return false;
            if (byteAt(c, 0) == 13)
                break;
            if (collected.size() < kMaxFirmwareIdLength)
                collected.append(c.left(kMaxFirmwareIdLength - collected.size()));
        } else {
            // Sleep until a character comes or a short slice passes, then let events run:
            // window events keep flowing, and the loop never spins.
            // The loop runs while the clock has not passed the deadline, so the last slice
            // ends just after it.
            const Instant slice = std::min(deadline + microseconds(1), clock_.now() + kIdSlice);
            if (port_.portOpen())
                port_.waitForInput(1, slice);
            else
                clock_.pauseUntil(slice);
        }
        processWindowEvents();
    }

    // Whether the line ended with its carriage return plays no part: past the deadline is late.
    if (clock_.now() > deadline) {
        if (!r.step([&] { closePortIfOpen(); }))
            return false;
        (void)r.step([] { throw CommError::raised(QString::fromLatin1(kTimeoutText)); },
                     Recovery::OnIgnore::EndProcedure);
        return false;
    }
    state_.firmwareId = QString::fromLatin1(collected);
    if (!r.step([&] { closePortIfOpen(); }))
        return false;
    if (!r.step([&] { DelayTimer(2); }))
        return false;
    linkReady = true;
    return true;
}

std::int16_t ModuleLink::ReadStatus() {
    return readStatus().value_or(0);
}

std::optional<std::int16_t> ModuleLink::readStatus() {
    Running running(*this);
    Recovery r(boxes_, [this] { closePortIfOpen(); });
    QByteArray reply;
    if (!exchange(r, kStatus, 1, reply, OnTimeout::Raise))
        return std::nullopt;
    const std::int16_t status = byteAt(reply, 0);
    if (!r.step([&] { DelayTimer(2); }))
        return std::nullopt;
    linkReady = true;
    return status;
}

void ModuleLink::abortChannelRead() {
    closePortIfOpen();
    emit linkAborted();
}

std::optional<ChannelReply> ModuleLink::read(const ChannelCommand& channel,
                                             std::int16_t rangeCode) {
    Running running(*this);
    Recovery r(boxes_, [this] { abortChannelRead(); });
    QByteArray reply;
    if (!exchange(r, channel.command, channel.replyLength, reply, OnTimeout::Raise))
        return std::nullopt;
    // A conversion that fails and is answered Ignore goes on with a zero value.
    ChannelReply result;
    if (!r.step([&] { result = channel.convert(reply, rangeCode); }))
        return std::nullopt;
    if (channel.storesInputs) {
        state_.gpiBits = result.bits;
        state_.gpi3Analog = result.value;
    }
    if (!r.step([&] { DelayTimer(2); }))
        return std::nullopt;
    linkReady = true;
    return result;
}

namespace {
ChannelReply rpmReply(const QByteArray& reply, std::int16_t) {
    return {scaling::rpm(byteAt(reply, 0), byteAt(reply, 1))};
}
ChannelReply advanceReply(const QByteArray& reply, std::int16_t) {
    return {scaling::advance(byteAt(reply, 0))};
}
ChannelReply mapReply(const QByteArray& reply, std::int16_t rangeCode) {
    return {scaling::map(byteAt(reply, 0), rangeCode)};
}
ChannelReply batteryReply(const QByteArray& reply, std::int16_t) {
    return {scaling::battery(byteAt(reply, 0))};
}
ChannelReply gpiReply(const QByteArray& reply, std::int16_t) {
    return {scaling::gpi3(byteAt(reply, 1)), std::int16_t(byteAt(reply, 0))};
}
}  // namespace

const ChannelCommand ModuleLink::kRpmRead{kRpm, 2, rpmReply, false};
const ChannelCommand ModuleLink::kAdvanceRead{kAdvance, 1, advanceReply, false};
const ChannelCommand ModuleLink::kMapRead{kMap, 1, mapReply, false};
const ChannelCommand ModuleLink::kBatteryRead{kBattery, 1, batteryReply, false};
const ChannelCommand ModuleLink::kGpiRead{kGpi, 2, gpiReply, true};

float ModuleLink::ReadRPM() {
    return read(kRpmRead).value_or(ChannelReply{}).value;
}

float ModuleLink::ReadAdvance() {
    return read(kAdvanceRead).value_or(ChannelReply{}).value;
}

float ModuleLink::ReadMAP(std::int16_t rangeCode) {
    return read(kMapRead, rangeCode).value_or(ChannelReply{}).value;
}

float ModuleLink::ReadBAT() {
    return read(kBatteryRead).value_or(ChannelReply{}).value;
}

ModuleLink::Inputs ModuleLink::ReadGPI() {
    (void)read(kGpiRead);
    return {state_.gpiBits, state_.gpi3Analog};
}

}  // namespace ignivex
