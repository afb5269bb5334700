#include "base/FileCalls.h"

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

void keepRunningOverSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace ignivex::file_calls
