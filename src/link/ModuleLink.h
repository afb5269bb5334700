#pragma once

#include "base/Clock.h"
#include "recovery/MessageBoxes.h"
#include "base/Module1.h"
#include "recovery/Recovery.h"
#include "link/SerialControl.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>

namespace ignivex {

// What a channel's reply converts to: its value, and for the inputs the bits of the first byte.
struct ChannelReply {
    float value = 0.0f;
    std::int16_t bits = 0;
};

// A channel command: its byte, the length of its reply, and the conversion of the reply (which
// may throw, as the engine speed's division by zero does). `storesInputs`: the reply also
// becomes the module-wide GPI values, as the inputs' read is known for.
struct ChannelCommand {
    std::uint8_t command;
    int replyLength;
    ChannelReply (*convert)(const QByteArray& reply, std::int16_t rangeCode);
    bool storesInputs;
};

// The module commands: one command byte out, a reply of fixed length (or a text line) back
// within a second, then a 2 ms pause. Each command reports success through linkReady and
// handles its own errors through the error prompt.
class ModuleLink : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint8_t kSync = 0x33;
    static constexpr std::uint8_t kIdentify = 0x10;
    static constexpr std::uint8_t kStatus = 0x2F;
    static constexpr std::uint8_t kRpm = 0x20;
    static constexpr std::uint8_t kMap = 0x22;
    static constexpr std::uint8_t kBattery = 0x23;
    static constexpr std::uint8_t kGpi = 0x24;
    static constexpr std::uint8_t kAdvance = 0x26;
    static constexpr std::uint8_t kAcknowledge = 0x06;
    // A module that streams text without ever ending the line must not fill the memory.
    static constexpr int kMaxFirmwareIdLength = 4096;

    ModuleLink(SerialControl& port, Clock& clock, MessageBoxes& boxes, Module1& state,
               QObject* parent = nullptr);

    // Synchronisation, identification and status.
    // Each also says whether it succeeded, as linkReady does.
    bool ReSync();
    bool ReadFirmwareID();
    std::int16_t ReadStatus();  // 0 when the read failed
    std::optional<std::int16_t> readStatus();

    // The five channels.
    static const ChannelCommand kRpmRead;
    static const ChannelCommand kAdvanceRead;
    static const ChannelCommand kMapRead;
    static const ChannelCommand kBatteryRead;
    static const ChannelCommand kGpiRead;

    // One channel read: the converted reply, or nothing when the read failed (linkReady is set
    // as well, for whoever looks at it right after the command).
    std::optional<ChannelReply> read(const ChannelCommand& channel, std::int16_t rangeCode = 0);

    // The named reads. Each returns its value (0 when the read failed; linkReady tells).
    float ReadRPM();
    float ReadAdvance();
    // Scaled for the MAP sensor range code the module reported (0: no sensor, gives 0).
    float ReadMAP(std::int16_t rangeCode);
    float ReadBAT();
    // The input bits and the GPI3 analogue value. Also kept in the shared state, which a failed
    // read leaves as it was; the returned reading is then that unchanged state.
    struct Inputs {
        std::int16_t bits = 0;
        float gpi3Analog = 0.0f;
    };
    Inputs ReadGPI();

    // Waits at least `milliseconds` on the monotonic clock, letting window events run (at least
    // once before it first looks at the time). No error handler of its own.
    void DelayTimer(const std::int32_t& milliseconds);

    // Close the port if open.
    void closePortIfOpen();

    // True while a command is exchanging bytes (including its pause).
    bool exchangeRunning() const { return running_ > 0; }

    SerialControl& port() { return port_; }

    // Kept here for the main window: the stored port number and the outcome of the last command.
    std::int16_t portNumber = 0;
    bool linkReady = false;

signals:
    // Abort in a channel read: the port is closed and the link given up. Whoever shows the
    // link (the real-time view) closes.
    void linkAborted();

private:
    class Running;
    enum class OnTimeout { Raise, LeaveQuietly };

    bool openIfClosed(Recovery& r);
    bool exchange(Recovery& r, std::uint8_t command, int expected, QByteArray& reply,
                  OnTimeout onTimeout);
    void abortChannelRead();

    SerialControl& port_;
    Clock& clock_;
    MessageBoxes& boxes_;
    Module1& state_;
    int running_ = 0;
};

}  // namespace ignivex
