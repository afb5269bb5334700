#pragma once

#include "analysis/Span.h"
#include "record/RecordingReader.h"

#include <QString>
#include <atomic>
#include <functional>
#include <optional>

// A recording exported as a workbook: sheet "Recording" (and "Recording (2)" and on where one
// sheet cannot hold the rows) with a row per recorded row, the time as a date-time, every value
// a number with its channel's decimals, an empty cell where the recording has one, the status and
// the mark as text; sheet "Details" with the recording's lines, the source and the span;
// "Statistics" and "Map Table" with the figures of the span, rounded as the command line prints
// them.
namespace ignivex::workbook {

// A sheet holds 1,048,576 rows, the header among them.
inline constexpr std::size_t kRowsPerSheet = 1'048'575;

struct Options {
    std::size_t rowsPerSheet = kRowsPerSheet;
    // Replace an existing target (the user has agreed to) rather than refuse it.
    bool replace = false;
    // Called now and then with the share done, 0 to 1.
    std::function<void(double done)> progress;
    // Set from another thread to stop; nothing is left behind then.
    const std::atomic<bool>* cancel = nullptr;
};

struct Written {
    qint64 rows = 0;
    int sheets = 0;  // of rows
};

// What is exported: the rows, the recording's "#" lines and the file they came from.
struct Source {
    const record::Table& table;
    const QList<std::pair<QString, QString>>& details;
    QString path;
};

// Writes the rows of `source` within `span` to `target`, a new file, whole or not at all.
// Returns what was written, or nothing with the reason in `error` (empty when cancelled).
std::optional<Written> write(const Source& source, const analysis::Span& span,
                             const QString& target, const Options& options, QString* error);

}  // namespace ignivex::workbook
