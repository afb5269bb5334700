#pragma once

#include "analysis/MapTable.h"
#include "analysis/Statistics.h"
#include "record/RecordingReader.h"

#include <QString>
#include <optional>

// The figures over the team library's runs of a tag, taken as one recording. The map table and
// the statistics of the module's channels are worked out by the server (SQL over the runs'
// rows, nothing fetched but the answer); anything else (a formula's channel, a span, the
// histogram) reads the runs' rows from the server and works them out here, as for files.
namespace ignivex::team {

class TeamStore;

// The runs of the tag as one recording's shape: the first run's details and channels, no rows.
// Nothing, with the reason, when no run has the tag.
std::optional<record::Recording> shapeOfTag(TeamStore& store, const QString& tag, QString* why);

// The rows of every run of the tag, from the server, one run after the other as
// catalog::combinedRecording puts files.
std::optional<record::Recording> fetchTag(TeamStore& store, const QString& tag, QString* why);

// True when the server can answer for these channels of the shape (the module's own).
bool serverHas(const record::Table& shape, const std::vector<record::ChannelId>& channels);

std::optional<analysis::MapTable> mapTableOfTag(TeamStore& store, const QString& tag,
                                                const record::Table& shape,
                                                const analysis::MapRequest& request,
                                                QString* why);

std::optional<analysis::Statistics> statisticsOfTag(TeamStore& store, const QString& tag,
                                                    const record::Table& shape, QString* why);

}  // namespace ignivex::team
