#pragma once

#include "analysis/Span.h"

#include <QString>

namespace ignivex::analysis {

// Writes the rows of the recording `source` whose elapsed_s lies in `span` to `target`, as a
// recording of its own: the source's "#" lines, then "# section of:" naming the source and
// "# span:" giving the span, the header, and the rows as they stand in the source. `target` is
// written whole or not at all, and never when no row lies in the span. Returns the rows
// written, or nothing with the reason in `error`.
std::optional<qint64> writeSection(const QString& source, const QString& target, const Span& span,
                                   QString* error);

}  // namespace ignivex::analysis
