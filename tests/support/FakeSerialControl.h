#pragma once

#include "recovery/CommError.h"
#include "support/FakeClock.h"
#include "link/SerialControl.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <functional>
#include <optional>

namespace ignivex::test {

// A serial port with a scripted module behind it. Every call is logged in order; replies are
// scripted per command byte; a wait without a reply jumps the fake clock to its deadline.
class FakeSerialControl : public SerialControl {
    Q_OBJECT
public:
    explicit FakeSerialControl(FakeClock& clock, QObject* parent = nullptr);

    // --- SerialControl
    void setSettings(const QString& settings) override;
    void setNullDiscard(bool discard) override;
    void setRThreshold(int threshold) override;
    void setInputLen(int length) override;
    void setDTREnable(bool enable) override;
    void setRTSEnable(bool enable) override;
    void setInBufferSize(int size) override;
    void setCommPort(int number) override;
    int commPort() const override { return commPort_; }
    bool portOpen() const override { return open_; }
    void setPortOpen(bool open) override;
    int inBufferCount() override;
    void setInBufferCount(int count) override;
    void output(const QByteArray& bytes) override;
    QByteArray input() override;
    void waitForInput(int count, Instant deadline) override;
    int commEvent() const override { return event_; }

    // --- script
    // The reply to a command byte, every time it is sent (until changed).
    void setReply(quint8 command, const QByteArray& reply) { replies_[command] = reply; }
    // A reply used once, before the standing one.
    void queueReply(quint8 command, const QByteArray& reply) { once_[command].append(reply); }
    // Bytes that arrive only after the wait has given up, before the count is read again.
    void setLateReply(quint8 command, const QByteArray& reply) { late_[command] = reply; }
    void clearReply(quint8 command);
    // Makes setPortOpen(true) fail with this error (until cleared).
    std::optional<CommError> openError;
    // Called after every byte written, with the byte (a test can act "while the module answers").
    std::function<void(quint8)> onOutput;
    // Puts characters in the input as if they had arrived.
    void arrive(const QByteArray& bytes) { in_.append(bytes); }
    // Raises OnComm with the code, as a line fault of the driver would.
    void raiseEvent(int code);

    // --- what happened
    QStringList log;     // "Settings=56000,N,8,1", "PortOpen=true", "Output=33", ...
    QByteArray written;  // every byte written, in order
    int opens = 0;
    int closes = 0;
    QByteArray pending() const { return in_; }

private:
    void requireOpen() const;

    FakeClock& clock_;
    QHash<quint8, QByteArray> replies_;
    QHash<quint8, QList<QByteArray>> once_;
    QHash<quint8, QByteArray> late_;
    QByteArray in_;
    QByteArray lateIn_;
    int commPort_ = 1;
    int inputLen_ = 0;
    int event_ = 0;
    bool open_ = false;
};

}  // namespace ignivex::test
