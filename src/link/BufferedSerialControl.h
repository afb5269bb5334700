#pragma once

#include "link/PortMapper.h"
#include "link/SerialControl.h"

#include <QByteArray>
#include <deque>
#include <optional>

namespace ignivex {

// A serial line's settings as the control's Settings text gives them: "56000,N,8,1".
struct LineSettings {
    int baud = 9600;
    char parity = 'N';  // N, O, E, M or S
    int dataBits = 8;
    int stopHalves = 2;  // 2, 3 or 4: one, one and a half, or two stop bits
};
// Nothing when the text is not four such fields.
std::optional<LineSettings> parseLineSettings(const QString& text);

// What every platform's serial control does alike: the properties, a receive buffer of our own
// (so InBufferCount, InBufferSize with its overflow event and NullDiscard behave as the
// properties say), Input, the OnComm events queued and delivered only outside a blocking wait,
// and the waits' slices that let the window paint. A platform supplies the opening, the line,
// the take-in from its driver and the writes.
class BufferedSerialControl : public SerialControl {
public:
    explicit BufferedSerialControl(Clock& clock, QObject* parent = nullptr);

    void setSettings(const QString& settings) override;
    void setNullDiscard(bool discard) override { nullDiscard_ = discard; }
    void setRThreshold(int threshold) override { rThreshold_ = threshold; }
    void setInputLen(int length) override { inputLen_ = length; }
    void setInBufferSize(int size) override { inBufferSize_ = size > 0 ? size : 1; }
    void setCommPort(int number) override;
    // Kept for the next opening and handed to the platform's line at once.
    void setDTREnable(bool enable) final;
    void setRTSEnable(bool enable) final;
    int commPort() const override { return commPort_; }
    void setPortOpen(bool open) final;
    QByteArray input() override;
    int commEvent() const override { return event_; }

    // True inside a blocking wait: keyboard and mouse input waits until it is over.
    bool waiting() const { return waiting_ > 0; }
    // The device the open (or last opened) port stands on.
    QString device() const { return device_; }

    // How often the line's faults are looked at while the port is open.
    static constexpr int kFaultPollMs = 100;
    // The blocking waits sleep at most this long before they let the window paint.
    static constexpr int kPaintSliceMs = 20;

protected:
    // While a wait runs, line-fault events stay queued: they are delivered at the next event
    // processing outside it.
    class Waiting {
    public:
        explicit Waiting(BufferedSerialControl& port);
        ~Waiting();
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

    private:
        BufferedSerialControl& port_;
    };

    // The line settings changed: a platform sets them on an open port.
    virtual void lineChanged() = 0;
    // A modem line changed: a platform sets it on an open port (the kept value is dtr(), rts()).
    virtual void applyDtr(bool on) = 0;
    virtual void applyRts(bool on) = 0;
    // Opens the port's device with the line set, or throws the CommError that says why not.
    virtual void openDevice(const PortDevice& target) = 0;
    // Closes the device (if open) and drops what its buffer held.
    virtual void closeNow() = 0;
    // Received bytes join the buffer, as far as InBufferSize lets them.
    void receive(QByteArray data);
    // Queues an OnComm event for the next event processing.
    void post(int code);
    int sliceUntil(Instant deadline) const;  // milliseconds of the next slice, 0 when past
    void letTheWindowPaint();

    Clock& clock() const { return clock_; }
    const LineSettings& line() const { return line_; }
    bool dtr() const { return dtr_; }
    bool rts() const { return rts_; }
    // The bytes received and not yet taken by Input.
    int buffered() const { return int(in_.size()); }
    void dropBuffered() { in_.clear(); }
    // The device went away under the open port: it counts as closed until the next opening.
    bool lost() const { return lost_; }
    void noteLost() { lost_ = true; }

private:
    void deliver();

    Clock& clock_;
    LineSettings line_;
    QByteArray in_;
    std::deque<int> events_;
    QString device_;
    int commPort_ = 1;
    bool dtr_ = false;
    bool rts_ = false;
    bool lost_ = false;

    int inputLen_ = 0;
    int rThreshold_ = 0;
    int inBufferSize_ = 1024;
    int event_ = 0;
    bool nullDiscard_ = false;
    bool deliveryQueued_ = false;
    int waiting_ = 0;
};

}  // namespace ignivex
