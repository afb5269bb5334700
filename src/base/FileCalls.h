#pragma once

#include <cstddef>

namespace ignivex::file_calls {

// Flags for ::open beside the access and creation flags: the file is not inherited by the
// programs this one starts, and on Windows it is written byte for byte (no newline
// translation: the recorder counts bytes to cut a short row back).
int openFlags();

// Forces the data written so far onto the disk: fdatasync on Linux, FlushFileBuffers on
// Windows. 0, or -1 with errno set.
int syncData(int fd);
// The same with the file's metadata too: fsync on Linux, FlushFileBuffers on Windows.
int syncAll(int fd);

// Writes all of `size` bytes, going on after a signal or a short write. 0, or the errno of the
// write that failed; `done` tells how much reached the file.
int writeAll(int fd, const char* data, std::size_t size, std::size_t* done = nullptr);

// A file over the process's size limit must fail its write, not end the process (SIGXFSZ;
// Windows has no such signal).
void keepRunningOverSizeLimit();

}  // namespace ignivex::file_calls
