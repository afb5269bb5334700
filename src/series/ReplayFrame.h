#pragma once

#include "acquire/Sample.h"
#include "series/ChartData.h"

namespace ignivex::chart {

// What the real-time panel showed at a row of a recording: a row of a lost link blanks the
// panel; otherwise each value is the last one read up to that row (a tick cut short by Esc
// left the values it did not reach as they were), since the last lost link.
struct ReplayFrame {
    bool linkLost = false;  // the panel is blanked first (the row, or one before it)
    Sample sample;          // the values shown on it afterwards
};

// Looks back at most this many rows for a value a row did not read.
inline constexpr std::size_t kReplayLookBack = 4096;

ReplayFrame replayFrameAt(const ChartData& data, std::size_t row);

}  // namespace ignivex::chart
