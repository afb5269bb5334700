#include "acquire/Channels.h"

namespace ignivex {

const ChannelSpec& channelSpec(Channel channel) {
    for (const ChannelSpec& entry : kChannels) {
        if (entry.channel == channel)
            return entry;
    }
    return kChannels.front();
}

std::optional<double> valueOf(const ChannelValues& values, const ValueSpec& entry) {
    if (entry.bit) {
        const std::optional<bool>& b = values.*entry.bit;
        return b ? std::optional<double>(*b ? 1.0 : 0.0) : std::nullopt;
    }
    return values.*entry.number;
}

void setValue(ChannelValues& values, const ValueSpec& entry, std::optional<double> value) {
    if (entry.bit)
        values.*entry.bit = value ? std::optional<bool>(*value > 0.5) : std::nullopt;
    else
        values.*entry.number = value;
}

ChannelValues valuesOf(const Sample& sample) {
    ChannelValues out;
    for (const ValueSpec& entry : kValues) {
        if (isInput(entry)) {
            if (sample.gpiBits)
                setValue(out, entry, inputOn(*sample.gpiBits, entry) ? 1.0 : 0.0);
        } else if (const std::optional<float>& v = sample.*channelSpec(entry.read).value) {
            setValue(out, entry, double(*v));
        }
    }
    return out;
}

void putValues(Sample& sample, const ChannelValues& values) {
    std::int16_t bits = 0;
    bool allInputs = true;
    for (const ValueSpec& entry : kValues) {
        const std::optional<double> v = valueOf(values, entry);
        if (isInput(entry)) {
            allInputs = allInputs && v.has_value();
            if (v && *v > 0.5)
                bits = std::int16_t(bits | entry.gpiMask);
        } else {
            std::optional<float>& field = sample.*channelSpec(entry.read).value;
            field = v ? std::optional<float>(float(*v)) : std::nullopt;
        }
    }
    sample.gpiBits = allInputs ? std::optional<std::int16_t>(bits) : std::nullopt;
}

}  // namespace ignivex
