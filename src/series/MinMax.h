#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

// The reduction that keeps drawing cheap on any length of recording: a screen cannot show more
// than one stretch of values per pixel column, and a line through a column covers everything
// between the column's smallest and largest value. So a series is drawn from its minimum and
// maximum per column, never from every point.
namespace ignivex::chart {

inline constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// The smallest and largest value of a stretch; both NaN when it holds no value (NaN cells are
// values that were not read and are passed over).
struct Extent {
    float min = kNoValue;
    float max = kNoValue;
    bool empty() const { return std::isnan(min); }
    void include(float v) {
        if (std::isnan(v))
            return;
        if (empty()) {
            min = max = v;
            return;
        }
        min = std::min(min, v);
        max = std::max(max, v);
    }
    void include(const Extent& e) {
        if (e.empty())
            return;
        include(e.min);
        include(e.max);
    }
};

// Minimum and maximum of any index range of a column in O(log n): the extents of blocks of 16
// values, of 16 such blocks, and so on. Built once for a recording; some 13 % of the column.
class MinMaxIndex {
public:
    MinMaxIndex() = default;
    explicit MinMaxIndex(const std::vector<float>& values);
    bool built() const { return !levels_.empty(); }
    // The extent of values[begin, end); `values` is the column the index was built from.
    Extent range(const std::vector<float>& values, std::size_t begin, std::size_t end) const;

private:
    static constexpr std::size_t kFan = 16;
    // levels_[k][j] is the extent of values [j * 16^(k+1), (j + 1) * 16^(k+1)).
    std::vector<std::vector<Extent>> levels_;
};

// One pixel column of a reduced series.
struct ColumnExtent {
    Extent extent;           // of the values whose time falls in the column
    float first = kNoValue;  // the column's first and last cell, to join it to its neighbours
    float last = kNoValue;
    std::size_t begin = 0, end = 0;  // its rows
};

// The values with times in [t0, t1) in `columns` columns of equal width, each with the minimum
// and maximum of its values. With an index, the cost does not grow with the number of rows in
// view; without one (a live chart's few minutes) each value in view is looked at once.
std::vector<ColumnExtent> reduce(const std::vector<double>& times, const std::vector<float>& values,
                                 const MinMaxIndex* index, double t0, double t1, int columns);

}  // namespace ignivex::chart
