#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ignivex::record {
struct Recording;
}

// Several runs as one recording, for the figures across them: the map table, the histogram and
// the statistics over a tag or a choice of runs.
namespace ignivex::catalog {

// Reads the files and puts their rows one after the other, each run's times moved to begin
// where the one before ended, so no row stands for time between two runs. The details are the
// first run's, with a "runs" line that names how many. Nothing when a file cannot be read, with
// the reason (naming the file) in `why`.
std::optional<record::Recording> combinedRecording(const QStringList& paths, QString* why);

}  // namespace ignivex::catalog
