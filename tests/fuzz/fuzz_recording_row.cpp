// One line of a recording, parsed: arbitrary bytes give a row or a reason, and a row read
// back is written out again as the same row.
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
