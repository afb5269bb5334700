#include "acquire/Acquisition.h"

#include "recovery/ErrorPrompt.h"
#include "recovery/Recovery.h"

#include <QCoreApplication>
#include <array>

namespace ignivex {

namespace {

// A channel of the tick: when it is read, its command, and the read itself, which puts the
// value into the sample when the read succeeded and returns what the display shows.
struct ChannelRead {
    Channel channel;
    std::uint8_t command;
    bool (*wanted)(std::int16_t rangeCode);
    float (*read)(ModuleLink& link, std::int16_t rangeCode, Sample& sample);
};

float keep(const ModuleLink& link, float value, std::optional<float>& field) {
    if (link.linkReady)
        field = value;
    return value;
}

bool always(std::int16_t) {
    return true;
}

// The order of the reads is the order of this table.
constexpr std::array<ChannelRead, 5> kChannels{{
    {Channel::Inputs, ModuleLink::kGpi, always,
     [](ModuleLink& link, std::int16_t, Sample& sample) {
         const ModuleLink::Inputs inputs = link.ReadGPI();
         if (link.linkReady) {
             sample.gpiBits = inputs.bits;
             sample.gpi3Analog = inputs.gpi3Analog;
         }
         return inputs.gpi3Analog;
     }},
    // A module without a MAP sensor (range code 0) is not asked for it.
    {Channel::Map, ModuleLink::kMap, [](std::int16_t code) { return code != 0; },
     [](ModuleLink& link, std::int16_t code, Sample& sample) {
         return keep(link, link.ReadMAP(code), sample.map);
     }},
    {Channel::Battery, ModuleLink::kBattery, always,
     [](ModuleLink& link, std::int16_t, Sample& sample) {
         return keep(link, link.ReadBAT(), sample.battery);
     }},
    {Channel::Rpm, ModuleLink::kRpm, always,
     [](ModuleLink& link, std::int16_t, Sample& sample) {
         return keep(link, link.ReadRPM(), sample.rpm);
     }},
    {Channel::Advance, ModuleLink::kAdvance, always,
     [](ModuleLink& link, std::int16_t, Sample& sample) {
         return keep(link, link.ReadAdvance(), sample.advance);
     }},
}};

void letTheInterfaceRun() {
    QCoreApplication::processEvents();
}

}  // namespace

Acquisition::Acquisition(ModuleLink& link, Clock& clock, MessageBoxes& boxes, Module1& state,
                         QObject* parent)
    : QObject(parent), link_(link), clock_(clock), boxes_(boxes), state_(state) {
    qRegisterMetaType<Sample>();
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

    for (int attempt = 0; attempt < kSyncAttempts; ++attempt) {
        link_.ReSync();
        if (link_.linkReady)
            break;
    }
    if (!link_.linkReady) {
        message(QStringLiteral("Cannot establish RS-232 link. Check cable and module power."));
        link_.closePortIfOpen();
    } else {
        link_.ReadFirmwareID();
        if (state_.firmwareId.isEmpty() || !link_.linkReady)
            message(QStringLiteral(
                "Error - invalid firmware ID. Unable to identify Ignivex version.\r\n"));
    }
    Opening result;
    result.status = link_.ReadStatus();
    result.statusRead = link_.linkReady;
    result.rangeCode = static_cast<std::int16_t>(result.status & 3);
    state_.mapRangeCode = result.rangeCode;
    if (!result.statusRead)
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
    for (const ChannelRead& channel : kChannels) {
        // Read afresh: an opening may run while the tick lets window events run.
        const std::int16_t rangeCode = state_.mapRangeCode;
        if (!channel.wanted(rangeCode))
            continue;
        const Sample before = closedRow ? Sample{} : sample;
        const std::uint64_t prompts = linkPromptsShown();
        const std::uint64_t ignored = linkPromptsIgnored();
        const float shown = channel.read(link_, rangeCode, sample);
        const bool prompted = linkPromptsShown() != prompts;
        const bool failed = !link_.linkReady || linkPromptsIgnored() != ignored;
        if (channel.channel == Channel::Inputs && !link_.linkReady) {
            emit linkLost();
            Recovery r(boxes_);
            if (r.step([&] { link_.closePortIfOpen(); }))
                emit closeViewRequested();
            end(Sample::End::LinkLost);
            return;
        }
        if (prompted && !closedRow) {
            closedRow = before;
            closedRow->end = failed ? Sample::End::Ignored : Sample::End::Held;
        } else if (!closedRow && link_.linkReady && bytesLeftOver()) {
            surplus = true;
        }
        emit channelRead(channel.channel, shown, sample);
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

}  // namespace ignivex
