#include "chart/ChartData.h"

#include "acquire/Channels.h"
#include "acquire/Sample.h"

#include <algorithm>

namespace ignivex::chart {

namespace {

std::array<SeriesStyle, kSeriesCount> styles() {
    std::array<SeriesStyle, kSeriesCount> out{};
    for (const ValueSpec& spec : kValues) {
        out[std::size_t(spec.value)] = {spec.name, spec.unit, QColor::fromRgb(QRgb(spec.rgb)),
                                        isInput(spec), spec.minSpan, spec.shownDecimals};
    }
    return out;
}

}  // namespace

const SeriesStyle& styleOf(Series series) {
    static const std::array<SeriesStyle, kSeriesCount> kStyles = styles();
    return kStyles[std::size_t(series)];
}

std::size_t ChartData::rowAt(double t) const {
    const auto& e = table.elapsed;
    const auto it = std::upper_bound(e.begin(), e.end(), t);
    return it == e.begin() ? 0 : std::size_t(it - e.begin() - 1);
}

double gapThresholdOf(const std::vector<double>& times) {
    std::vector<double> steps;
    steps.reserve(times.size());
    for (std::size_t i = 1; i < times.size(); ++i) {
        if (times[i] > times[i - 1])
            steps.push_back(times[i] - times[i - 1]);
    }
    if (steps.empty())
        return kGapMinimumSeconds;
    auto middle = steps.begin() + std::ptrdiff_t(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return std::max(kGapFactor * *middle, kGapMinimumSeconds);
}

std::shared_ptr<const ChartData> makeChartData(record::Table table, bool indexed) {
    auto data = std::make_shared<ChartData>();
    data->table = std::move(table);
    const record::Table& t = data->table;
    data->gapThreshold = gapThresholdOf(t.elapsed);
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t.status[i] != std::uint8_t(Sample::End::Complete))
            data->marks.push_back({t.elapsed[i], t.status[i]});
        if (i > 0 && t.elapsed[i] - t.elapsed[i - 1] > data->gapThreshold)
            data->gaps.push_back({t.elapsed[i - 1], t.elapsed[i]});
    }
    if (indexed) {
        for (int s = 0; s < kSeriesCount; ++s)
            data->indexes[std::size_t(s)] = MinMaxIndex(t.values[std::size_t(s)]);
    }
    return data;
}

}  // namespace ignivex::chart
