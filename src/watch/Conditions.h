#pragma once

#include "acquire/Sample.h"
#include "formula/FormulaChannels.h"

#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace ignivex::watch {

// A condition's verdict on a row: empty where a value it reads is missing there (a row of a
// lost link), which is neither true nor false.
enum class Verdict : std::uint8_t { False, True, Unknown };

// Conditions by formula worked out on each row as it comes, with the channels by formula they
// may read and the history their functions over time look back on. Only that history is
// kept, so a watch of hours costs what its longest look back costs.
class Conditions {
public:
    // The channels by formula the conditions may read. Those that cannot be computed are left
    // out; a line each says why. Forgets the conditions and the rows.
    QStringList setChannels(const std::vector<formula::Definition>& definitions);
    // A condition more, worked out from the next row on; its problem where it has one (it is
    // then not added).
    std::optional<formula::Problem> add(const QString& condition);
    int count() const { return int(conditions_.size()); }
    // The row in; each condition's verdict on it, in the order they were added.
    const std::vector<Verdict>& append(const Sample& sample);
    // The row's seconds since the first row seen, as a condition's elapsed_s reads them.
    double elapsed() const { return rows_.empty() ? 0 : rows_.elapsed.back(); }
    // The rows forgotten (a new run): the next row is at 0 s again.
    void restart();

    // What is wrong with a condition over the module's channels and these channels by formula.
    static std::optional<formula::Problem> problemOf(
        const QString& condition, const std::vector<formula::Definition>& channels = {});

private:
    // A formula read once, and where each value it reads comes from: a module's channel (its
    // id), the rows' seconds (kSeconds) or a channel by formula (kComputed - its index).
    static constexpr int kSeconds = -1;
    static constexpr int kComputed = -2;
    struct Computing {
        formula::Formula formula;
        std::vector<int> sources;
        double historySeconds = 0;
        std::size_t historyRows = 1;
    };
    QStringList names() const;
    std::optional<Computing> prepare(const QString& text, formula::Problem* problem) const;
    double newest(const Computing& c) const;
    void trim();

    std::vector<record::ChannelInfo> infos_;  // the channels by formula, each after those it reads
    std::vector<Computing> channels_;         // one a channel, as infos_
    std::vector<Computing> conditions_;
    record::Table rows_;
    std::vector<std::vector<float>> computed_;  // one a channel, a value a row of rows_
    std::optional<Instant> first_;
    std::vector<Verdict> verdicts_;
};

}  // namespace ignivex::watch
