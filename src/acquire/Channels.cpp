#include "acquire/Channels.h"

namespace ignivex {

const ChannelSpec& channelSpec(Channel channel) {
    for (const ChannelSpec& spec : kChannels) {
        if (spec.channel == channel)
            return spec;
    }
    return kChannels.front();
}

std::optional<double> valueOf(const ChannelValues& values, const ValueSpec& spec) {
    if (spec.bit) {
        const std::optional<bool>& b = values.*spec.bit;
        return b ? std::optional<double>(*b ? 1.0 : 0.0) : std::nullopt;
    }
    return values.*spec.number;
}

void setValue(ChannelValues& values, const ValueSpec& spec, std::optional<double> value) {
    if (spec.bit)
        values.*spec.bit = value ? std::optional<bool>(*value > 0.5) : std::nullopt;
    else
        values.*spec.number = value;
}

ChannelValues valuesOf(const Sample& sample) {
    ChannelValues out;
    for (const ValueSpec& spec : kValues) {
        if (isInput(spec)) {
            if (sample.gpiBits)
                setValue(out, spec, inputOn(*sample.gpiBits, spec) ? 1.0 : 0.0);
        } else if (const std::optional<float>& v = sample.*channelSpec(spec.read).value) {
            setValue(out, spec, double(*v));
        }
    }
    return out;
}

void putValues(Sample& sample, const ChannelValues& values) {
    std::int16_t bits = 0;
    bool allInputs = true;
    for (const ValueSpec& spec : kValues) {
        const std::optional<double> v = valueOf(values, spec);
        if (isInput(spec)) {
            allInputs = allInputs && v.has_value();
            if (v && *v > 0.5)
                bits = std::int16_t(bits | spec.gpiMask);
        } else {
            std::optional<float>& field = sample.*channelSpec(spec.read).value;
            field = v ? std::optional<float>(float(*v)) : std::nullopt;
        }
    }
    sample.gpiBits = allInputs ? std::optional<std::int16_t>(bits) : std::nullopt;
}

}  // namespace ignivex
