#include "catalog/RunSet.h"

#include "record/RecordingReader.h"

namespace ignivex::catalog {

std::optional<record::Recording> combinedRecording(const QStringList& paths, QString* why) {
    std::optional<record::Recording> all;
    for (const QString& path : paths) {
        record::ReadResult read = record::readRecording(path);
        if (!read.recording) {
            *why = read.error;
            return std::nullopt;
        }
        record::Recording& one = *read.recording;
        if (!all) {
            all = std::move(one);
            continue;
        }
        if (one.table.empty())
            continue;
        if (!all->table.empty()) {
            const double shift = all->table.elapsed.back() - one.table.elapsed.front();
            for (double& t : one.table.elapsed)
                t += shift;
        }
        all->table.append(std::move(one.table));
    }
    if (!all) {
        *why = QStringLiteral("No run was given.");
        return std::nullopt;
    }
    all->details.append({QStringLiteral("runs"), QString::number(paths.size())});
    return all;
}

}  // namespace ignivex::catalog
