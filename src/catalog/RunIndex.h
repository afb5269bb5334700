#pragma once

#include "catalog/RunEntry.h"

#include <QString>
#include <atomic>
#include <optional>

namespace ignivex::record {
struct Recording;
}

// A recording read into what the library keeps of it. Runs on any thread.
namespace ignivex::catalog {

struct IndexOutcome {
    std::optional<RunEntry> run;
    QString reason;  // why the file is not a run for the library, when `run` is empty
    bool cancelled = false;
};

// Reads the file and describes it: its id (the "# id:" line, else "sha256:" and the hash of
// the file's bytes), start, length, rows, firmware, MAP range, marks and each channel's
// figures. A file that is not a recording, or holds no row, is refused with the reason.
IndexOutcome indexFile(const QString& path, const std::atomic<bool>* cancel = nullptr);

// The same from a recording read already (the review's), hashing its file when it has no id.
IndexOutcome indexRecording(const record::Recording& recording);

// The id the file's "# id:" line gives, read from its top alone; empty when it has none.
QString headerRunId(const QString& path);

// "sha256:" and the hash of the file's bytes; empty when it cannot be read.
QString contentId(const QString& path);

}  // namespace ignivex::catalog
