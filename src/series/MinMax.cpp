#include "series/MinMax.h"

#include <algorithm>

namespace ignivex::chart {

MinMaxIndex::MinMaxIndex(const std::vector<float>& values) {
    std::vector<Extent> level((values.size() + kFan - 1) / kFan);
    for (std::size_t i = 0; i < values.size(); ++i)
        level[i / kFan].include(values[i]);
    while (level.size() > 1) {
        std::vector<Extent> up((level.size() + kFan - 1) / kFan);
        for (std::size_t i = 0; i < level.size(); ++i)
            up[i / kFan].include(level[i]);
        levels_.push_back(std::move(level));
        level = std::move(up);
    }
    levels_.push_back(std::move(level));
}

Extent MinMaxIndex::range(const std::vector<float>& values, std::size_t begin,
                          std::size_t end) const {
    Extent out;
    end = std::min(end, values.size());
    if (begin >= end)
        return out;
    auto raw = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            out.include(values[i]);
    };
    if (levels_.empty() || end - begin < 2 * kFan) {
        raw(begin, end);
        return out;
    }
    // The ragged ends from the values themselves, the whole blocks between from the levels,
    // each level trimming its own ragged ends before handing the rest up.
    const std::size_t alignedBegin = (begin + kFan - 1) / kFan * kFan;
    const std::size_t alignedEnd = end / kFan * kFan;
    raw(begin, alignedBegin);
    raw(alignedEnd, end);
    std::size_t lo = alignedBegin / kFan;
    std::size_t hi = alignedEnd / kFan;
    for (std::size_t level = 0; lo < hi; ++level) {
        const std::vector<Extent>& blocks = levels_[level];
        if (level + 1 == levels_.size() || hi - lo < 2 * kFan) {
            for (std::size_t i = lo; i < hi; ++i)
                out.include(blocks[i]);
            break;
        }
        const std::size_t upLo = (lo + kFan - 1) / kFan * kFan;
        const std::size_t upHi = hi / kFan * kFan;
        for (std::size_t i = lo; i < upLo; ++i)
            out.include(blocks[i]);
        for (std::size_t i = upHi; i < hi; ++i)
            out.include(blocks[i]);
        lo = upLo / kFan;
        hi = upHi / kFan;
    }
    return out;
}

std::vector<ColumnExtent> reduce(const std::vector<double>& times, const std::vector<float>& values,
                                 const MinMaxIndex* index, double t0, double t1, int columns) {
    std::vector<ColumnExtent> out(std::size_t(std::max(columns, 0)));
    if (columns <= 0 || !(t1 > t0) || times.empty())
        return out;
    const double width = (t1 - t0) / columns;
    auto at = [&](double t, std::size_t from) {
        return std::size_t(std::lower_bound(times.begin() + std::ptrdiff_t(from), times.end(), t) -
                           times.begin());
    };
    std::size_t begin = at(t0, 0);
    for (int c = 0; c < columns; ++c) {
        const double columnEnd = c + 1 == columns ? t1 : t0 + (c + 1) * width;
        const std::size_t end = at(columnEnd, begin);
        ColumnExtent& col = out[std::size_t(c)];
        col.begin = begin;
        col.end = end;
        if (end > begin) {
            if (index && index->built()) {
                col.extent = index->range(values, begin, end);
            } else {
                for (std::size_t i = begin; i < end; ++i)
                    col.extent.include(values[i]);
            }
            col.first = values[begin];
            col.last = values[end - 1];
        }
        begin = end;
    }
    return out;
}

}  // namespace ignivex::chart
