#pragma once

#include "formula/Formula.h"
#include "record/RecordingTable.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace ignivex::formula {

// A channel computed by formula: a column like the module's once added to a table.
struct Definition {
    QString name;  // a letter, then letters, digits and _: how formulas and files name it
    QString formula;
    QString unit;
    int decimals = 2;  // 0 to 6
    bool operator==(const Definition&) const = default;
};

inline constexpr int kMostChannels = 1000;
inline constexpr int kMostDecimals = 6;

// What is wrong with each definition (nothing where it is sound), against the channels the
// table has: its formula, its name (a clash with a channel, a function or another
// definition), or a loop of channels that depend on themselves.
std::vector<std::optional<Problem>> check(const std::vector<Definition>& definitions,
                                          const record::Table& table);

// The channels added to the table after its own, each after those it reads. Nothing added, and
// the first problem with the channel's name in front, where any definition is unsound or the
// columns would not fit in memory.
std::optional<QString> addChannels(record::Table& table, const std::vector<Definition>& definitions);

// The definitions rows arriving one by one can compute, over the module's channels: the sound
// ones, and, made once without rows, the table of their channels in the order they are
// computed (each after those it reads); "name: problem" for each left out.
struct SoundChannels {
    std::vector<Definition> definitions;
    record::Table made;
    QStringList problems;
};
SoundChannels soundChannels(const std::vector<Definition>& definitions);

// A channel's values as the file wrote them (record::asWritten), NaN where a row has none; the
// name "elapsed_s" gives the rows' seconds.
std::vector<double> writtenValues(const record::Table& table, const QString& column);

// The names a formula over this table may read: its channels' columns and "elapsed_s".
QStringList channelNames(const record::Table& table);

// The formula over every row of the table; NaN where a row has no value.
std::vector<double> evaluate(const Formula& formula, const record::Table& table);

// A filter: a row passes where the condition is not zero and every value it reads is there;
// the first `settleSeconds` after the condition turns true are left out.
struct Filter {
    QString name;
    QString condition;
    double settleSeconds = 0;
    bool operator==(const Filter&) const = default;
};

// 1 for each row that passes, or nothing and the condition's problem.
std::optional<std::vector<std::uint8_t>> rowsPassing(const record::Table& table,
                                                     const Filter& filter, Problem* problem);

}  // namespace ignivex::formula
