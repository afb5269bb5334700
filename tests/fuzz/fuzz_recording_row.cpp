// One line of a recording, parsed: arbitrary bytes give a row or a reason, and a row read
// back is written out again as the same row. The reader's own reading of the time gives what
// QDateTime gives.
#include "record/RecordFormat.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace ignivex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));
    QString why;
    const std::optional<record::Row> row = record::parseRow(line, &why);
    if (!row) {
        if (why.isEmpty() || why.size() > 200)
            std::abort();
        return 0;
    }
    if (!std::isfinite(row->elapsed) || !row->time.isValid())
        std::abort();
    record::RowCells cells;
    if (!record::parseCells(line, cells) || cells.wallMs != row->time.toMSecsSinceEpoch() ||
        cells.utcOffsetSeconds != row->time.offsetFromUtc())
        std::abort();
    for (const auto* v : {&row->rpm, &row->advance, &row->map, &row->battery, &row->gpi3Volts}) {
        if (*v && !std::isfinite(**v))
            std::abort();
    }
    if (int(row->status) < 0 || int(row->status) >= Sample::kEndCount)
        std::abort();
    if (record::statusFrom(record::statusText(row->status)) != row->status)
        std::abort();
    return 0;
}
