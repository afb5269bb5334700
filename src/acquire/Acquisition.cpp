#include "acquire/Acquisition.h"

#include "acquire/Channels.h"
#include "recovery/ErrorPrompt.h"
#include "recovery/Recovery.h"

#include <QCoreApplication>
#include <array>

namespace ignivex {

namespace {

void letTheInterfaceRun() {
    QCoreApplication::processEvents();
}

}  // namespace

Acquisition::Acquisition(ModuleLink& link, Clock& clock, MessageBoxes& boxes, Module1& state,
                         QObject* parent)
    : QObject(parent), link_(link), clock_(clock), boxes_(boxes), state_(state) {
    qRegisterMetaType<Sample>();
    connect(&link_, &ModuleLink::linkAborted, this, &Acquisition::linkAborted);
}

void Acquisition::message(const QString& text) {
    boxes_.show(text, box::OkOnly + box::Exclamation, kOpeningTitle);
}

Acquisition::Opening Acquisition::openLink() {
    struct Guard {
        int& count;
        explicit Guard(int& c) : count(c) { ++count; }
        ~Guard() { --count; }
    } guard(opening_);

    bool inStep = false;
    for (int attempt = 0; attempt < kSyncAttempts && !inStep; ++attempt)
        inStep = link_.ReSync();
    if (!inStep) {
        message(QStringLiteral("Cannot establish RS-232 link. Check cable and module power."));
        link_.closePortIfOpen();
    } else {
        if (!link_.ReadFirmwareID() || state_.firmwareId.isEmpty())
            message(QStringLiteral(
                "Error - invalid firmware ID. Unable to identify Ignivex version.\r\n"));
    }
    Opening result;
    // The range code scales every MAP value of the run, so a byte that may be garbage (more
    // bytes came with it: a line that streams, stray bytes) is not taken for it; once stray
    // bytes have come, a clean reply is taken only when the next one says the same.
    bool stray = false;
    std::optional<std::int16_t> status;
    int clean = -1;  // the clean reply after stray bytes that waits for its like
    for (int attempt = 0; attempt < kStatusAttempts && !status; ++attempt) {
        const std::optional<std::int16_t> reply = link_.readStatus();
        if (!reply) {  // the read failed, and is reported as such
            stray = false;
            break;
        }
        if (bytesLeftOver()) {
            stray = true;
            clean = -1;
        } else if (!stray || clean == *reply) {
            status = reply;
        } else {
            clean = *reply;
        }
    }
    result.statusGarbled = stray && !status;
    result.status = status.value_or(0);
    result.statusRead = status.has_value();
    result.rangeCode = static_cast<std::int16_t>(result.status & 3);
    rangeCode_ = result.rangeCode;
    state_.mapRangeCode = result.rangeCode;
    if (result.statusGarbled)
        message(QStringLiteral(
            "Error - cannot read status: its replies came with stray bytes, so the MAP sensor "
            "is unknown. Check the cable and that nothing else sends on the line.\r\n"));
    else if (!result.statusRead)
        message(QStringLiteral("Error - cannot read status.\r\n"));
    lastOpening_ = result;
    return result;
}

std::optional<Sample::End> Acquisition::stopReason() const {
    if (!state_.viewActive)
        return Sample::End::Aborted;
    if (state_.escape)
        return Sample::End::Escape;
    return std::nullopt;
}

void Acquisition::finish(Sample& sample, Sample::End end) {
    sample.end = end;
    emit sampleReady(sample);
}

void Acquisition::tmrDataRead_Timer() {
    if (busy() || paused_)
        return;
    ticking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{ticking_};

    state_.escape = false;
    if (!state_.viewActive)
        return;

    // `sample` is what the display is shown, every value as it is read. The row the tick hands
    // on is closed at the first prompt: a prompt can hold the tick for as long as the user
    // takes, and values read after it do not belong to the tick's time.
    Sample sample;
    sample.monotonic = clock_.now();
    sample.wallClock = QDateTime::currentDateTime();
    std::optional<Sample> closedRow;
    bool surplus = false;
    auto end = [&](Sample::End tickEnd) {
        Sample row = closedRow ? *closedRow : sample;
        // A closed view says more than how the row ended; otherwise the row's own trouble
        // says more than Esc.
        if (tickEnd == Sample::End::Complete || tickEnd == Sample::End::Escape) {
            if (closedRow)
                tickEnd = closedRow->end;
            else if (surplus)
                tickEnd = Sample::End::Surplus;
        }
        finish(row, tickEnd);
    };
    for (const ChannelSpec& channel : kChannels) {
        // Read afresh: an opening may run while the tick lets window events run.
        const std::int16_t rangeCode = rangeCode_;
        if (channel.needsMapSensor && rangeCode == 0)
            continue;
        const Sample before = closedRow ? Sample{} : sample;
        const std::uint64_t prompts = linkPromptsShown();
        const std::uint64_t ignored = linkPromptsIgnored();
        const std::optional<ChannelReply> reply = link_.read(*channel.command, rangeCode);
        const bool prompted = linkPromptsShown() != prompts;
        const bool failed = !reply || linkPromptsIgnored() != ignored;
        if (reply) {
            sample.*channel.value = reply->value;
            if (channel.bits)
                sample.gpiBits = reply->bits;
        }
        if (channel.channel == Channel::Inputs && !reply) {
            emit linkLost();
            Recovery r(boxes_);
            if (r.step([&] { link_.closePortIfOpen(); }))
                emit linkAborted();
            end(Sample::End::LinkLost);
            return;
        }
        if (prompted && !closedRow) {
            closedRow = before;
            closedRow->end = failed ? Sample::End::Ignored : Sample::End::Held;
        } else if (!closedRow && reply && bytesLeftOver()) {
            surplus = true;
        }
        emit channelRead(channel.channel, reply ? reply->value : 0.0f, sample);
        letTheInterfaceRun();
        // Esc after the last read leaves nothing unread; a view closed by then (an Abort in
        // that read) does not.
        if (&channel == &kChannels.back())
            break;
        if (const auto stop = stopReason()) {
            end(*stop);
            return;
        }
    }
    end(state_.viewActive ? Sample::End::Complete : Sample::End::Aborted);
}

bool Acquisition::bytesLeftOver() {
    // The reply has been taken and the read's 2 ms pause is over: a byte still waiting came with
    // it (a module sending garbage, or a line that streams). The next read discards it.
    try {
        return link_.port().portOpen() && link_.port().inBufferCount() > 0;
    } catch (const CommError&) {
        return false;
    }
}

void Acquisition::startPolling() {
    state_.viewActive = true;
    state_.commErrorCount = 0;
}

bool Acquisition::stopPolling() {
    link_.closePortIfOpen();
    const bool wasActive = state_.viewActive;
    state_.viewActive = false;
    return wasActive;
}

}  // namespace ignivex
