#include "base/FileCalls.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace ignivex::file_calls {

int openFlags() {
#ifdef _WIN32
    return O_BINARY | O_NOINHERIT;
#else
    return O_CLOEXEC;
#endif
}

int syncData(int fd) {
#ifdef _WIN32
    const intptr_t handle = _get_osfhandle(fd);
    if (handle == -1) {
        errno = EBADF;
        return -1;
    }
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(handle)))
        return 0;
    switch (GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_ACCESS_DENIED:
        errno = EACCES;
        break;
    default:
        errno = EIO;
    }
    return -1;
#else
    return ::fdatasync(fd);
#endif
}

int syncAll(int fd) {
#ifdef _WIN32
    return syncData(fd);  // FlushFileBuffers writes the metadata as well
#else
    return ::fsync(fd);
#endif
}

int writeAll(int fd, const char* data, std::size_t size, std::size_t* done) {
    std::size_t written = 0;
    int result = 0;
    while (written < size) {
        // In pieces of at most a gigabyte: Windows counts the bytes of a write in 32 bits.
        const auto n = ::write(fd, data + written, std::min<std::size_t>(size - written, 1u << 30));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = errno;
            break;
        }
        written += std::size_t(n);
    }
    if (done)
        *done = written;
    return result;
}

void keepRunningOverSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace ignivex::file_calls
