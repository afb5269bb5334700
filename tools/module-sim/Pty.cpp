#include "Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace modsim {

namespace {
std::string sysError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
}  // namespace

bool Pty::open(std::string& error) {
    close();
    const int m = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m < 0) {
        error = sysError("posix_openpt");
        return false;
    }
    const char* name = nullptr;
    if (grantpt(m) != 0 || unlockpt(m) != 0 || (name = ptsname(m)) == nullptr) {
        error = sysError("preparing the pseudo-terminal");
        ::close(m);
        return false;
    }
    std::string path = name;
    const int s = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        error = sysError(("opening " + path).c_str());
        ::close(m);
        return false;
    }
    // Raw: no echo of the command bytes and no line editing of binary replies. The settings belong
    // to the terminal, so they hold for the tool until it sets its own.
    termios t{};
    if (tcgetattr(s, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        tcsetattr(s, TCSANOW, &t);
    }
    master_ = m;
    slave_ = s;
    path_ = std::move(path);
    return true;
}

void Pty::close() {
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
}

int Pty::unreadBySlave() const {
    if (slave_ < 0)
        return -1;
    // Bytes written to the master reach the slave's input queue through a kernel worker, and
    // FIONREAD counts only what has arrived. Polling the slave finishes that hand-over first
    // (it reads nothing, so the tool's bytes stay where they are).
    pollfd p{slave_, POLLIN, 0};
    poll(&p, 1, 0);
    int n = 0;
    if (ioctl(slave_, FIONREAD, &n) != 0)
        return -1;
    return n;
}

std::string portLinkPath(int port) {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/Ignivex_Log/ports/Com" + std::to_string(port);
}

namespace {
bool makeFolders(const std::string& dir, std::string& error) {
    for (std::size_t pos = 1; pos != std::string::npos;) {
        pos = dir.find('/', pos + 1);
        const std::string part = dir.substr(0, pos);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = sysError(("creating " + part).c_str());
            return false;
        }
    }
    return true;
}

std::string readLink(const std::string& link) {
    std::vector<char> buf(4096);
    const ssize_t n = readlink(link.c_str(), buf.data(), buf.size());
    return n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
}
}  // namespace

bool placeLink(const std::string& link, const std::string& target, std::string& error) {
    const std::size_t slash = link.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        error = "bad link path " + link;
        return false;
    }
    if (!makeFolders(link.substr(0, slash), error))
        return false;
    // Made under a temporary name and renamed over the old one, so a reader never sees the port
    // missing while it is being replaced.
    const std::string temp = link + ".sim-" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0) {
        error = sysError(("linking " + temp).c_str());
        return false;
    }
    if (rename(temp.c_str(), link.c_str()) != 0) {
        error = sysError(("replacing " + link).c_str());
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void removeLinkIfOurs(const std::string& link, const std::string& target) {
    if (readLink(link) == target)
        unlink(link.c_str());
}

}  // namespace modsim
