// The recording reader on a whole file of arbitrary bytes: it must neither crash nor loop, keep
// the "#" lines and the rows within their bounds, hand on rows whose times never go back, and
// read the same when it reads the rows in two halves.
#include "record/RecordingReader.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

using namespace ignivex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    static const QByteArray path = (dir.path() + QStringLiteral("/run.csv")).toLocal8Bit();
    std::FILE* f = std::fopen(path.constData(), "wb");
    if (!f)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);

    record::ReadOptions options;
    options.rowLimit = 2000;
    const record::ReadResult result = record::readRecording(QString::fromLocal8Bit(path), options);
    options.halvesFrom = 1;
    const record::ReadResult halves = record::readRecording(QString::fromLocal8Bit(path), options);
    if (halves.error != result.error || bool(halves.recording) != bool(result.recording) ||
        (result.recording && (halves.recording->note() != result.recording->note() ||
                              halves.recording->table.elapsed != result.recording->table.elapsed ||
                              halves.recording->table.wallMs != result.recording->table.wallMs)))
        std::abort();
    if (!result.recording) {
        if (result.error.isEmpty() || result.error.size() > 4000)
            std::abort();
        return 0;
    }
    const record::Recording& rec = *result.recording;
    if (rec.details.size() > record::kDetailLinesKept || rec.table.size() > options.rowLimit)
        std::abort();
    for (const auto& [key, value] : rec.details) {
        if (key.size() + value.size() > record::kDetailLineLength)
            std::abort();
    }
    const auto& t = rec.table;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!std::isfinite(t.elapsed[i]) || (i > 0 && t.elapsed[i] < t.elapsed[i - 1]))
            std::abort();
        for (record::ChannelId c = 0; c < t.channelCount(); ++c) {
            if (std::isinf(t.column(c)[i]))  // a value no float holds is a gap, never infinity
                std::abort();
        }
    }
    return 0;
}
