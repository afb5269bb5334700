#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstddef>
#include <functional>

// How a recording's file is read back, and what a line that is not read as a row becomes:
// shared by the reader and the stretches of rows it reads.
namespace ignivex::record {

struct ReadOptions {
    // Rows kept at most: 27 hours at the fastest rate (a day's drive), some 400 MB. The rest of
    // a bigger file is not read, and the note says so.
    std::size_t rowLimit = 8'000'000;
    // Called now and then with the bytes read so far and the file's size.
    std::function<void(qint64 done, qint64 total)> progress;
    // Set from another thread to stop reading; the result is then marked cancelled.
    const std::atomic<bool>* cancel = nullptr;
    // Rows of this many bytes and more are read as two halves at once, the second in a thread
    // of its own: a long recording opens in about half the time on two cores.
    qint64 halvesFrom = 4 * 1024 * 1024;
};

// A line that was not read as a row, and why.
struct SkippedLine {
    qint64 line = 0;  // 1-based
    QString why;
};

// Skipped lines listed in the note by number; the rest are counted.
inline constexpr int kSkippedListed = 5;
// A longer line is not a row of a recording (a row is under 120 bytes).
inline constexpr qint64 kLongestLine = 64 * 1024;

}  // namespace ignivex::record
