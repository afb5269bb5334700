#pragma once

#include "acquire/Sample.h"
#include "link/ModuleLink.h"
#include "base/Clock.h"
#include "recovery/MessageBoxes.h"
#include "base/Module1.h"

#include <QObject>
#include <cstdint>

namespace ignivex {

// The acquisition core, free of widgets: it brings the link up (synchronise, identify, read
// the status) and runs the polling tick, which reads the channels in turn and emits each value
// as it is read and the whole Sample when the tick ends. The real-time panel, the recorder and
// the chart listen; the headless logger drives it without any window.
//
// Window events run inside the work at the places the module commands let them run and between
// the reads of a tick, so two exchanges could cross on the wire: a tick that comes while an
// opening, another tick or an exchange runs does nothing at all.
class Acquisition : public QObject {
    Q_OBJECT
public:
    static constexpr int kSyncAttempts = 5;
    // Reads of the status at most, while its replies come with bytes beyond their length.
    static constexpr int kStatusAttempts = 4;
    static inline const QString kOpeningTitle = QStringLiteral("View Real Time Data");

    // What the opening learnt; every failure has been shown to the user by then.
    struct Opening {
        std::int16_t status = 0;     // 0 when the status read failed
        std::int16_t rangeCode = 0;  // status AND 3
        bool statusRead = false;
        // Replies to the status came with bytes beyond their length and no clean one was
        // confirmed: a byte taken may be garbage, so none was (statusRead is false).
        bool statusGarbled = false;
    };

    Acquisition(ModuleLink& link, Clock& clock, MessageBoxes& boxes, Module1& state,
                QObject* parent = nullptr);

    // Synchronises up to kSyncAttempts times, identifies the module when that worked, reads the
    // status and takes the MAP sensor range code from it. A status reply that came with bytes
    // beyond its length is not taken, as such a row is not "ok": the status is read again (up to
    // kStatusAttempts times in all), and a clean reply after stray bytes is taken only when the
    // next one says the same. Each failure shows its message and the opening goes on.
    Opening openLink();
    // What the last opening learnt.
    const Opening& lastOpening() const { return lastOpening_; }

    // The MAP sensor range code the reads use: 1 until an opening has read the status.
    std::int16_t rangeCode() const { return rangeCode_; }

    // Polling on, as a newly opened view has it: the view-active flag set and the count of
    // line faults back to 0.
    void startPolling();
    // Polling off and the port closed; true when it was on.
    bool stopPolling();
    bool polling() const { return state_.viewActive; }

    // One tick of the polling timer. Polls only while the view-active flag is set.
    void tmrDataRead_Timer();

    // While paused (another source, such as a recording being replayed, drives the display),
    // a tick does nothing at all and nothing goes over the link.
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }

    bool opening() const { return opening_ > 0; }
    bool ticking() const { return ticking_; }
    // True while a tick, an opening or an exchange runs.
    bool busy() const { return ticking_ || opening() || link_.exchangeRunning(); }

    ModuleLink& link() { return link_; }

signals:
    // A read has ended: `value` is what the display shows (0 after a failed read), `sample` the
    // tick so far. Emitted before the tick lets window events run.
    void channelRead(ignivex::Channel channel, float value, const ignivex::Sample& sample);
    // The input read failed: the display zeroes its values; the port and the view close next.
    void linkLost();
    // The tick has ended, however it ended.
    void sampleReady(const ignivex::Sample& sample);
    // The link was given up (lost, or Abort in a read) and the port closed: whoever shows it
    // closes the view.
    void linkAborted();

private:
    void message(const QString& text);
    std::optional<Sample::End> stopReason() const;
    void finish(Sample& sample, Sample::End end);
    bool bytesLeftOver();

    ModuleLink& link_;
    Clock& clock_;
    MessageBoxes& boxes_;
    Module1& state_;
    int opening_ = 0;
    bool ticking_ = false;
    bool paused_ = false;
    Opening lastOpening_;
    std::int16_t rangeCode_ = 1;
};

}  // namespace ignivex
