#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace ignivex::test {

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        hangUp();
        return;
    }
    device_ = QString::fromLocal8Bit(::ptsname(master_));
    termios raw{};
    if (::tcgetattr(master_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(master_, TCSANOW, &raw);
    }
}

Pty::~Pty() {
    hangUp();
}

void Pty::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray Pty::read(int ms) {
    QByteArray out;
    if (master_ < 0)
        return out;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
        return out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
        pollfd again{master_, POLLIN, 0};
        if (::poll(&again, 1, 20) <= 0)
            break;
    }
    return out;
}

void Pty::hangUp() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

double processCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

}  // namespace ignivex::test
