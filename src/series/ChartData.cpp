#include "series/ChartData.h"

#include "acquire/Channels.h"
#include "acquire/Sample.h"

#include <algorithm>

namespace ignivex::chart {

namespace {

std::array<SeriesStyle, kSeriesCount> styles() {
    std::array<SeriesStyle, kSeriesCount> out{};
    for (const ValueSpec& entry : kValues) {
        out[std::size_t(entry.value)] = {
            entry.name,     entry.unit,    QColor::fromRgb(QRgb(entry.rgb)),
            isInput(entry), entry.minSpan, entry.shownDecimals};
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
