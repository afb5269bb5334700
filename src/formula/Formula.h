#pragma once

#include "record/RecordingTable.h"

#include <QString>
#include <QStringList>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace ignivex::formula {

// Where a formula went wrong, in words for its author, and at which character (0-based; -1
// where no one place is to blame).
struct Problem {
    QString message;
    int position = -1;
};

// The functions over time: each reads a channel's rows before this one, which a formula of
// muParser's, evaluated row by row, cannot.
enum class TimeFunction { Rate, Smooth, Ago };
struct TimeCall {
    TimeFunction function = TimeFunction::Rate;
    QString channel;
    double seconds = 0;
    bool operator==(const TimeCall&) const = default;
};

// What a formula may be given: longer or deeper is refused before muParser sees it.
inline constexpr int kMostCharacters = 10000;
inline constexpr int kDeepestNesting = 200;

// A word of the user's in a message is cut after 64 characters (the longest name is 63), and
// a list after 120: a message names the fault, it does not repeat ten thousand characters.
inline constexpr int kShownWordLength = 64;
inline constexpr int kShownListLength = 120;
QString shown(const QString& word);

// A column a formula reads, a value a row as the file wrote it: a float rounded to its
// decimals, or a double (the rows' seconds) rounded the same way; NaN where a row has none,
// infinity (which no file holds) counted as none too. Read where it lies, not copied: a long
// recording's columns are tens of MB each.
struct Column {
    const float* floats = nullptr;
    const double* doubles = nullptr;
    int decimals = 3;

    // Neither: a column the rows do not have, empty on every row.
    double at(std::size_t r) const {
        if (!floats && !doubles)
            return std::numeric_limits<double>::quiet_NaN();
        const double v = floats ? double(floats[r]) : doubles[r];
        return std::isfinite(v) ? record::asWritten(v, decimals)
                                : std::numeric_limits<double>::quiet_NaN();
    }
    // The same in units of its last decimal (13.835 with three: 13835), a whole number, so
    // sums of many are exact and no division is needed per row.
    double units(std::size_t r) const {
        if (!floats && !doubles)
            return std::numeric_limits<double>::quiet_NaN();
        const double v = floats ? double(floats[r]) : doubles[r];
        return std::isfinite(v) ? record::writtenUnits(v, decimals)
                                : std::numeric_limits<double>::quiet_NaN();
    }
    double scale() const { return record::kDecimalScale[decimals]; }
};

// The values a formula reads: per channel it names, in the order of Formula::reads(), and each
// row's elapsed seconds.
struct Inputs {
    std::size_t rows = 0;
    Column elapsed;
    std::vector<Column> channels;
};

// One formula, read by muParser against the names of the channels it may use. Its value on a
// row is empty (NaN) where any value it reads there is empty, and where it is not a finite
// number (a division by zero).
class Formula {
public:
    // The formula, or nothing and what is wrong with it in `problem`.
    static std::optional<Formula> read(const QString& text, const QStringList& channels,
                                       Problem* problem);
    Formula(Formula&&) noexcept;
    Formula& operator=(Formula&&) noexcept;
    ~Formula();

    // The channels it reads, directly or through a function over time, each once.
    const QStringList& reads() const;
    // Its calls over time, each once: what it reads from rows before the one it is evaluated on.
    const std::vector<TimeCall>& calls() const;
    // A value a row, NaN where it is empty, not finite or past a float's range. Not for two
    // threads at once: muParser reads the row's values from the formula's own.
    std::vector<double> evaluate(const Inputs& inputs) const;

private:
    struct Parts;
    explicit Formula(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

// The three functions over a channel's values (as written, NaN where empty) and the rows' times.
// rate: (x here - x on the row before) / (their time apart), empty on the first row;
// smooth: the mean of the values present on the rows within (t - S, t], empty where none is;
// ago: x on the last row at t - S or earlier, empty where there is none.
std::vector<double> overTime(const TimeCall& call, std::size_t rows, const Column& elapsed,
                             const Column& values);

// The names a formula can call besides the channels ("sin", "min", ...), and its constants.
bool isFunctionName(const QString& name);
bool isConstantName(const QString& name);

}  // namespace ignivex::formula
