#include "series/ChartData.h"

#include "acquire/Channels.h"
#include "acquire/Sample.h"

#include <algorithm>

namespace ignivex::chart {

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
    for (ChannelId c = 0; c < t.channelCount(); ++c)
        data->indexes.push_back(std::make_shared<const MinMaxIndex>(
            indexed ? MinMaxIndex(t.column(c)) : MinMaxIndex()));
    return data;
}

std::shared_ptr<const ChartData> withChannel(const ChartData& data, record::ChannelInfo channel,
                                             std::vector<float> values) {
    auto out = std::make_shared<ChartData>(data);
    const ChannelId c = out->table.addChannel(std::move(channel), std::move(values));
    const bool indexed = !data.indexes.empty() && data.indexes.front()->built();
    out->indexes.push_back(std::make_shared<const MinMaxIndex>(
        indexed ? MinMaxIndex(out->table.column(c)) : MinMaxIndex()));
    return out;
}

}  // namespace ignivex::chart
