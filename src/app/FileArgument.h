#pragma once

#include "record/RecordingWriter.h"

#include <QString>
#include <optional>

namespace ignivex::command_line {

// Looks at FILE before anything goes over the link, without following a link or opening
// anything: what is wrong with it, in the command line's words, or nothing.
std::optional<QString> fileArgumentProblem(const QString& path, bool force);

// Why the recording file could not be opened, in the command line's words.
QString refusalText(const QString& path, const RecordingWriter::OpenFailure& failure,
                    const QString& windowText);

}  // namespace ignivex::command_line
