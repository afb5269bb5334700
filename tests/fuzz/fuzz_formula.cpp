// Channels by formula and a filter over random rows: the input's text, up to its first NUL, is
// lines of "name=formula" and a last line that is the filter's condition; the bytes after it
// are rows (a time step and a value for each channel, 0xFF for an empty cell, 0xFE for
// infinity, 0xFD for NaN). Any text gives channels or a reason of a few lines, never a crash
// or a hang; a channel added holds no infinity, and the filter's verdict is one 0 or 1 a row.
#include "formula/FormulaChannels.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace ignivex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(data);
    std::size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    const QStringList lines = QString::fromUtf8(text, qsizetype(split)).split(u'\n');

    record::Table table;
    double elapsed = 0;
    constexpr std::size_t kCells = kValueCount;
    for (std::size_t at = split + 1; at + kCells < size; at += kCells + 1) {
        record::RowCells cells;
        elapsed += data[at] / 50.0;
        cells.elapsed = elapsed;
        for (std::size_t v = 0; v < kCells; ++v) {
            const std::uint8_t b = data[at + 1 + v];
            cells.values[v] = b == 0xFF   ? std::numeric_limits<double>::quiet_NaN()
                              : b == 0xFE ? std::numeric_limits<double>::infinity()
                              : b == 0xFD ? -std::numeric_limits<double>::quiet_NaN()
                              : v >= 5    ? double(b & 1)
                                          : b * 40.0 - 2000;
        }
        table.append(cells);
    }

    std::vector<formula::Definition> definitions;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const auto eq = lines[i].indexOf(u'=');
        definitions.push_back({lines[i].left(eq), lines[i].mid(eq + 1), {}, int(i % 8)});
    }
    const int before = table.channelCount();
    const auto problem = formula::addChannels(table, definitions);
    if (problem) {
        if (problem->isEmpty() || problem->size() > 400 || table.channelCount() != before)
            std::abort();
    } else {
        if (table.channelCount() != before + int(definitions.size()))
            std::abort();
        for (record::ChannelId c = before; c < table.channelCount(); ++c) {
            for (float v : table.column(c)) {
                if (std::isinf(v))
                    std::abort();
            }
        }
    }
    formula::Problem why;
    const auto rows = formula::rowsPassing(table, {{}, lines.back(), 0.5}, &why);
    if (!rows ? why.message.isEmpty() : rows->size() != table.size())
        std::abort();
    if (rows) {
        for (auto r : *rows) {
            if (r > 1)
                std::abort();
        }
    }
    return 0;
}
