#pragma once

#include "analysis/Span.h"

#include <QString>

namespace ignivex::analysis {

// Writes the rows of the recording `source` whose elapsed_s lies in `span` to `target`, as a
// recording of its own: the source's "#" lines, then "# section of:" naming the source and
// "# span:" giving the span, the header, and the rows as they stand in the source. `target` is
// written whole or not at all, and never when no row lies in the span. Returns the rows
// written, or nothing with the reason in `error` (and what failed in `failure`). Every write is
// checked: a target that cannot take the rows whole (a full disk, the size limit) is reported
// with the system's reason and removed.
enum class SectionFailure { None, Source, NoRow, Target };
std::optional<qint64> writeSection(const QString& source, const QString& target, const Span& span,
                                   QString* error, SectionFailure* failure = nullptr);

// What every export says of a span with no row of `source` in it.
QString noRowText(const QString& source, const Span& span);

}  // namespace ignivex::analysis
