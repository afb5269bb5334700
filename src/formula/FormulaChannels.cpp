#include "formula/FormulaChannels.h"

#include "base/MessageText.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ignivex::formula {

namespace {

constexpr double kTimeRoom = 1e-9;
const QString kElapsed = QStringLiteral("elapsed_s");
// The columns of all the channels by formula may take at most this much memory.
constexpr double kMostBytes = 2.0 * 1024 * 1024 * 1024;

// Colours for the channels by formula, after the module's.
constexpr std::uint32_t kPalette[] = {0x8e44ad, 0x16a085, 0xd35400, 0x2c3e50,
                                      0xc0392b, 0x27ae60, 0x7f8c8d, 0xb7950b};

std::optional<Problem> nameProblem(const Definition& d, const QStringList& taken,
                                   const QSet<QString>& others) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,63}$"));
    if (!valid.match(d.name).hasMatch())
        return Problem{QStringLiteral("A channel's name is a letter, then up to 63 letters, "
                                      "digits or _: “%1” is not")
                           .arg(shown(d.name))};
    if (taken.contains(d.name) || d.name == u"time")
        return Problem{
            QStringLiteral("“%1” is a channel of the recording already").arg(shown(d.name))};
    if (isFunctionName(d.name) || isConstantName(d.name))
        return Problem{QStringLiteral("“%1” is the name of a function").arg(shown(d.name))};
    if (others.contains(d.name))
        return Problem{QStringLiteral("Two channels are named “%1”").arg(shown(d.name))};
    if (d.decimals < 0 || d.decimals > kMostDecimals)
        return Problem{QStringLiteral("A channel has 0 to %1 decimals").arg(kMostDecimals)};
    return std::nullopt;
}

struct Checked {
    std::vector<std::optional<Problem>> problems;
    std::vector<std::optional<Formula>> formulas;
    std::vector<std::size_t> order;  // each after those it reads
};

Checked checkAll(const std::vector<Definition>& definitions, const record::Table& table) {
    Checked c;
    const std::size_t n = definitions.size();
    c.problems.resize(n);
    c.formulas.resize(n);
    if (n > std::size_t(kMostChannels)) {
        for (auto& p : c.problems)
            p = Problem{QStringLiteral("At most %1 channels by formula").arg(kMostChannels)};
        return c;
    }
    const QStringList own = channelNames(table);
    QStringList all = own;
    QHash<QString, int> count;
    for (const Definition& d : definitions) {
        all << d.name;
        ++count[d.name];
    }
    QHash<QString, std::size_t> index;
    for (std::size_t i = 0; i < n; ++i) {
        QSet<QString> twice;
        if (count.value(definitions[i].name) > 1)
            twice.insert(definitions[i].name);
        c.problems[i] = nameProblem(definitions[i], own, twice);
        index.insert(definitions[i].name, i);
        if (c.problems[i])
            continue;
        Problem p;
        c.formulas[i] = Formula::read(definitions[i].formula, all, &p);
        if (!c.formulas[i])
            c.problems[i] = p;
    }
    // Depth first through what each reads: a channel met again on the path is a loop.
    enum Mark : std::uint8_t { Unseen, OnPath, Done };
    std::vector<Mark> mark(n, Unseen);
    std::vector<std::size_t> path;
    std::function<bool(std::size_t)> visit = [&](std::size_t i) -> bool {
        if (mark[i] == Done)
            return !c.problems[i];
        if (mark[i] == OnPath) {
            const auto from = std::find(path.begin(), path.end(), i);
            QStringList loop;
            for (auto it = from; it != path.end(); ++it)
                loop << definitions[*it].name;
            loop << definitions[i].name;
            for (auto it = from; it != path.end(); ++it) {
                if (!c.problems[*it])
                    c.problems[*it] = Problem{
                        QStringLiteral("“%1” depends on itself: %2")
                            .arg(shown(definitions[*it].name),
                                 readableList(loop, QStringLiteral(" → "), kShownListLength))};
            }
            return false;
        }
        mark[i] = OnPath;
        path.push_back(i);
        bool sound = !c.problems[i];
        if (c.formulas[i]) {
            for (const QString& name : c.formulas[i]->reads()) {
                if (own.contains(name) || !index.contains(name))
                    continue;
                const std::size_t j = index.value(name);
                if (!visit(j) && !c.problems[i]) {
                    c.problems[i] =
                        Problem{QStringLiteral("“%1” reads “%2”, which cannot be computed")
                                    .arg(shown(definitions[i].name), shown(name))};
                }
                sound = sound && !c.problems[i];
            }
        }
        path.pop_back();
        mark[i] = Done;
        if (sound)
            c.order.push_back(i);
        return sound;
    };
    // Depth-first recursion is as deep as the longest chain, at most kMostChannels.
    for (std::size_t i = 0; i < n; ++i)
        visit(i);
    return c;
}

}  // namespace

QStringList channelNames(const record::Table& table) {
    QStringList names;
    for (record::ChannelId c = 0; c < table.channelCount(); ++c)
        names << table.channel(c).column;
    names << kElapsed;
    return names;
}

namespace {

Column columnOf(const record::Table& table, const QString& name) {
    if (name == kElapsed)
        return {nullptr, table.elapsed.data(), 3};
    const auto id = table.channelNamed(name);
    if (!id)
        return {};
    return {table.column(*id).data(), nullptr, table.channel(*id).decimals};
}

}  // namespace

std::vector<double> writtenValues(const record::Table& table, const QString& column) {
    std::vector<double> out(table.size());
    const Column c = columnOf(table, column);
    for (std::size_t r = 0; r < out.size(); ++r)
        out[r] = c.at(r);
    return out;
}

std::vector<double> evaluate(const Formula& formula, const record::Table& table) {
    Inputs inputs{table.size(), columnOf(table, kElapsed), {}};
    for (const QString& name : formula.reads())
        inputs.channels.push_back(columnOf(table, name));
    return formula.evaluate(inputs);
}

std::vector<std::optional<Problem>> check(const std::vector<Definition>& definitions,
                                          const record::Table& table) {
    return checkAll(definitions, table).problems;
}

std::optional<QString> addChannels(record::Table& table,
                                   const std::vector<Definition>& definitions) {
    Checked c = checkAll(definitions, table);
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        if (c.problems[i])
            return QStringLiteral("%1: %2").arg(shown(definitions[i].name), c.problems[i]->message);
    }
    const double bytes = double(table.size()) * double(definitions.size()) * sizeof(float);
    if (bytes > kMostBytes)
        return QStringLiteral("%1 channels by formula over %2 rows would take %3 MB; keep fewer")
            .arg(definitions.size())
            .arg(table.size())
            .arg(qint64(bytes / (1024 * 1024)));
    for (std::size_t i : c.order) {
        const Definition& d = definitions[i];
        const std::vector<double> values = evaluate(*c.formulas[i], table);
        std::vector<float> column(values.begin(), values.end());
        record::ChannelInfo info;
        info.column = d.name;
        info.name = d.name;
        info.unit = d.unit;
        info.decimals = d.decimals;
        info.shownDecimals = d.decimals;
        info.rgb = kPalette[i % std::size(kPalette)];
        info.minSpan = 10 * std::pow(10.0, -d.decimals);
        info.source = record::ChannelSource::Computed;
        table.addChannel(std::move(info), std::move(column));
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> rowsPassing(const record::Table& table,
                                                     const Filter& filter, Problem* problem) {
    if (!std::isfinite(filter.settleSeconds) || filter.settleSeconds < 0) {
        if (problem)
            *problem = {QStringLiteral("The settle time is a number of seconds, 0 or more")};
        return std::nullopt;
    }
    const auto formula = Formula::read(filter.condition, channelNames(table), problem);
    if (!formula)
        return std::nullopt;
    const std::vector<double> verdict = evaluate(*formula, table);
    std::vector<std::uint8_t> passing(verdict.size(), 0);
    double since = 0;  // when the condition last turned true
    for (std::size_t r = 0; r < verdict.size(); ++r) {
        const bool on = !std::isnan(verdict[r]) && verdict[r] != 0;
        if (!on)
            continue;
        const bool turned = r == 0 || std::isnan(verdict[r - 1]) || verdict[r - 1] == 0;
        if (turned)
            since = table.elapsed[r];
        passing[r] = table.elapsed[r] - since >= filter.settleSeconds - kTimeRoom;
    }
    return passing;
}

SoundChannels soundChannels(const std::vector<Definition>& definitions) {
    SoundChannels out;
    const auto problems = check(definitions, record::Table());
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        if (problems[i])
            out.problems << QStringLiteral("%1: %2").arg(shown(definitions[i].name),
                                                         problems[i]->message);
        else
            out.definitions.push_back(definitions[i]);
    }
    // Those that read only sound ones are sound on their own.
    if (const auto problem = addChannels(out.made, out.definitions)) {
        out.problems << *problem;
        out.definitions.clear();
        out.made = record::Table();
    }
    return out;
}

}  // namespace ignivex::formula
