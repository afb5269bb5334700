#include "Simulator.h"

#include "Engine.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace modsim {

namespace {
constexpr Nanos kMillisecond = 1'000'000;
constexpr Nanos kSecond = 1'000'000'000;
// Before hanging up after the last reply, the other side gets this long to read it; we look every
// millisecond whether it has.
constexpr Nanos kHangupGiveUp = kSecond;

std::string hexList(const std::uint8_t* bytes, std::size_t n) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i)
            s += ' ';
        s += buf;
    }
    return s;
}

// Splits off the first space-separated word of `rest`, leaving the remainder after one space.
std::string takeWord(std::string& rest) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string::npos) {
        rest.clear();
        return {};
    }
    const std::size_t end = rest.find(' ', start);
    std::string word =
        rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return word;
}

std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

constexpr const char* kControlHelp =
    "commands: set NAME VALUE | fault NAME [ARG] | clear [NAME [CMD]] | hangup | replug | "
    "stats [reset] | show | path | quit | help";
}  // namespace

Nanos monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<Nanos>(ts.tv_sec) * kSecond + ts.tv_nsec;
}

Nanos Wire::deliver(Nanos ready) {
    // A byte handed over while the line is still busy goes out right after the one before it.
    if (burstBytes_ == 0 || ready > burstStart_ + byteTime(burstBytes_)) {
        burstStart_ = ready;
        burstBytes_ = 0;
    }
    ++burstBytes_;
    return burstStart_ + byteTime(burstBytes_);
}

Simulator::Simulator(Settings settings, RunOptions options)
    : settings_(std::move(settings)), options_(std::move(options)), random_(options_.seed) {}

Simulator::~Simulator() {
    if (log_ && log_ != stderr)
        std::fclose(log_);
    if (timer_ >= 0)
        close(timer_);
    if (signals_ >= 0)
        close(signals_);
}

void Simulator::log(Nanos t, const std::string& text) {
    if (!log_)
        return;
    std::fprintf(log_, "%lld.%06lld %s\n", static_cast<long long>(t / kSecond),
                 static_cast<long long>(t % kSecond / 1000), text.c_str());
}

void Simulator::answer(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Simulator::run() {
    start_ = monotonicNow();
    // Paced bytes are due every 178.6 microseconds; the default timer slack of 50 would blur them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::signal(SIGPIPE, SIG_IGN);

    if (!options_.logPath.empty()) {
        log_ = options_.logPath == "-" ? stderr : std::fopen(options_.logPath.c_str(), "w");
        if (!log_) {
            std::fprintf(stderr, "module-sim: cannot write the log %s: %s\n",
                         options_.logPath.c_str(), std::strerror(errno));
            return 1;
        }
        std::setvbuf(log_, nullptr, _IOLBF, 0);
    }

    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGHUP);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signals_ = signalfd(-1, &mask, SFD_CLOEXEC);
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    if (signals_ < 0 || timer_ < 0) {
        std::fprintf(stderr, "module-sim: %s\n", std::strerror(errno));
        return 1;
    }

    std::string error;
    if (!openLine(error)) {
        std::fprintf(stderr, "module-sim: %s\n", error.c_str());
        return 1;
    }
    if (options_.linkPort > 0) {
        linkPath_ = portLinkPath(options_.linkPort);
        if (!placeLink(linkPath_, pty_.path(), error)) {
            std::fprintf(stderr, "module-sim: %s\n", error.c_str());
            return 1;
        }
        log(monotonicNow(), "-- link " + linkPath_);
    }
    // The first line is the device: whoever started us may open it as soon as it reads this.
    answer(pty_.path());

    while (!quit_) {
        Nanos now = monotonicNow();
        feedStream(now);
        writeDue(now);
        checkHangup(now);

        itimerspec when{};
        if (const Nanos next = nextWake()) {
            when.it_value.tv_sec = next / kSecond;
            when.it_value.tv_nsec = next % kSecond;
        }
        timerfd_settime(timer_, TFD_TIMER_ABSTIME, &when, nullptr);

        pollfd fds[4];
        nfds_t n = 0;
        fds[n++] = {signals_, POLLIN, 0};
        fds[n++] = {timer_, POLLIN, 0};
        const nfds_t lineAt = pty_.isOpen() ? n++ : 0;
        if (lineAt)
            fds[lineAt] = {pty_.master(),
                           static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0};
        const nfds_t stdinAt = stdinOpen_ ? n++ : 0;
        if (stdinAt)
            fds[stdinAt] = {STDIN_FILENO, POLLIN, 0};

        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "module-sim: poll: %s\n", std::strerror(errno));
            break;
        }
        now = monotonicNow();
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signals_, &info, sizeof info) > 0)
                log(now, "-- signal " + std::to_string(info.ssi_signo) + ", exiting");
            quit_ = true;
            break;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t expirations;
            [[maybe_unused]] auto r = read(timer_, &expirations, sizeof expirations);
        }
        if (lineAt && (fds[lineAt].revents & POLLOUT))
            writeBlocked_ = false;
        if (lineAt && (fds[lineAt].revents & (POLLIN | POLLHUP | POLLERR)))
            readLine(now);
        if (stdinAt && (fds[stdinAt].revents & (POLLIN | POLLHUP | POLLERR)))
            readControl();
    }

    if (!linkPath_.empty())
        removeLinkIfOurs(linkPath_, pty_.path());
    log(monotonicNow(), "-- exit");
    pty_.close();
    return 0;
}

bool Simulator::openLine(std::string& error) {
    if (!pty_.open(error))
        return false;
    out_.clear();
    writeBlocked_ = false;
    rxWire_ = Wire{};
    txWire_ = Wire{};
    commandsOnLine_ = 0;
    hangupPending_ = false;
    log(monotonicNow(), "-- open " + pty_.path());
    return true;
}

void Simulator::hangUp(const std::string& why) {
    if (!pty_.isOpen())
        return;
    log(monotonicNow(), "-- hang-up " + why);
    pty_.close();
    out_.clear();
    writeBlocked_ = false;
    hangupPending_ = false;
}

void Simulator::readLine(Nanos now) {
    std::uint8_t buf[256];
    const ssize_t n = read(pty_.master(), buf, sizeof buf);
    if (n > 0) {
        for (ssize_t i = 0; i < n; ++i)
            receive(buf[i], now, settings_.paced ? rxWire_.deliver(now) : now);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // Cannot happen while we hold the slave side open; closing beats spinning on it.
    hangUp(n == 0 ? "end of file on the terminal" : std::strerror(errno));
}

void Simulator::receive(std::uint8_t byte, Nanos readAt, Nanos arrival) {
    ++received_[byte];
    const std::string rx = "rx " + hexByte(byte);
    if (hangupPending_) {
        log(readAt, rx + " (hanging up, no reply)");
        return;
    }
    ++commandsOnLine_;
    const double engineSeconds =
        settings_.engineAt ? *settings_.engineAt : static_cast<double>(arrival - start_) / kSecond;
    const Values values =
        settings_.engine ? engineValues(engineSeconds, settings_.values) : settings_.values;
    const auto r = reply(byte, values, settings_.faults, random_);
    if (!r) {
        log(readAt, rx + (isKnownCommand(byte) ? " (silent)" : " (unknown command, no reply)"));
    } else {
        log(readAt, r->delayMs ? rx + " (late " + std::to_string(r->delayMs) + " ms)" : rx);
        // The queue goes out strictly in order, so a reply waits behind a late one before it, as
        // from a module that handles one command at a time.
        const Nanos ready = arrival + r->delayMs * kMillisecond;
        for (std::uint8_t b : r->bytes)
            out_.push_back({b, settings_.paced ? txWire_.deliver(ready) : ready});
    }
    if (settings_.faults.hangupAfter && commandsOnLine_ >= *settings_.faults.hangupAfter) {
        hangupPending_ = true;
        log(readAt, "-- hang-up after " + std::to_string(commandsOnLine_) +
                        " commands, once the replies are read");
    }
}

void Simulator::feedStream(Nanos now) {
    if (!settings_.faults.stream || !pty_.isOpen())
        return;
    // A few bytes ahead is enough: the queue is topped up on every pass, so it never grows
    // while the other side does not read.
    std::uniform_int_distribution<int> byte(0, 255);
    while (out_.size() < 64)
        out_.push_back({static_cast<std::uint8_t>(byte(random_)), txWire_.deliver(now)});
}

void Simulator::writeDue(Nanos now) {
    if (!pty_.isOpen() || writeBlocked_)
        return;
    std::uint8_t buf[4096];
    while (!out_.empty() && out_.front().due <= now) {
        std::size_t n = 0;
        for (auto it = out_.begin(); it != out_.end() && it->due <= now && n < sizeof buf; ++it)
            buf[n++] = it->byte;
        const ssize_t written = write(pty_.master(), buf, n);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                writeBlocked_ = true;  // the other side is not reading; wait until it is
                return;
            }
            hangUp(std::strerror(errno));
            return;
        }
        lastWrite_ = monotonicNow();
        log(lastWrite_, "tx " + hexList(buf, static_cast<std::size_t>(written)));
        out_.erase(out_.begin(), out_.begin() + written);
        if (static_cast<std::size_t>(written) < n) {
            writeBlocked_ = true;
            return;
        }
    }
}

void Simulator::checkHangup(Nanos now) {
    if (!hangupPending_ || !out_.empty() || !pty_.isOpen())
        return;
    // A hang-up throws away what the other side has not read yet, so give it the chance to read
    // the last reply first: the count of commands answered is then exact.
    if (pty_.unreadBySlave() <= 0 || now >= lastWrite_ + kHangupGiveUp) {
        hangUp("after " + std::to_string(commandsOnLine_) + " commands");
        return;
    }
    hangupCheck_ = std::min(now + kMillisecond, lastWrite_ + kHangupGiveUp);
}

Nanos Simulator::nextWake() const {
    Nanos next = 0;
    auto consider = [&next](Nanos t) {
        if (t > 0 && (next == 0 || t < next))
            next = t;
    };
    if (pty_.isOpen() && !writeBlocked_ && !out_.empty())
        consider(out_.front().due);
    if (hangupPending_ && out_.empty() && pty_.isOpen())
        consider(hangupCheck_);
    return next;
}

void Simulator::readControl() {
    char buf[4096];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        stdinOpen_ = false;
        log(monotonicNow(), options_.exitOnEof ? "-- end of stdin, exiting" : "-- end of stdin");
        if (options_.exitOnEof)
            quit_ = true;
        return;
    }
    stdinBuffer_.append(buf, static_cast<std::size_t>(n));
    std::size_t eol;
    while (!quit_ && (eol = stdinBuffer_.find('\n')) != std::string::npos) {
        std::string line = stdinBuffer_.substr(0, eol);
        stdinBuffer_.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        answer(control(line));
    }
}

std::string Simulator::control(const std::string& line) {
    std::string rest = line;
    const std::string verb = takeWord(rest);
    auto result = [](const std::string& error) {
        return error.empty() ? std::string("ok") : "error " + error;
    };

    if (verb == "set") {
        const std::string name = takeWord(rest);
        if (name.empty())
            return "error set needs a name and a value";
        // The ID is taken as written, spaces and all; it may be empty.
        const std::string value = name == "id" ? rest : trimmed(rest);
        if (value.empty() && name != "id")
            return "error set " + name + " needs a value";
        return result(setValue(settings_, name, value));
    }
    if (verb == "fault") {
        const std::string name = takeWord(rest);
        if (!isFaultName(name))
            return "error no fault named '" + name + "'";
        const std::string error = setFault(settings_, name, trimmed(rest));
        if (error.empty() && name == "hangup-after")
            commandsOnLine_ = 0;  // counts from now
        return result(error);
    }
    if (verb == "clear") {
        const std::string name = takeWord(rest);
        return result(clearFault(settings_, name, trimmed(rest)));
    }
    if (!trimmed(rest).empty() && verb != "stats")
        return "error " + verb + " takes no argument";
    if (verb == "hangup") {
        if (!pty_.isOpen())
            return "error already hung up";
        hangUp("asked on stdin");
        return "ok";
    }
    if (verb == "replug") {
        hangUp("replugged");
        std::string error;
        if (!openLine(error))
            return "error " + error;
        if (!linkPath_.empty() && !placeLink(linkPath_, pty_.path(), error))
            return "error " + error;
        return "ok " + pty_.path();
    }
    if (verb == "stats") {
        const std::string arg = trimmed(rest);
        if (arg == "reset") {
            received_.fill(0);
            return "ok";
        }
        if (!arg.empty())
            return "error stats takes nothing or 'reset'";
        return "ok " + stats();
    }
    if (verb == "show")
        return "ok " + describe(settings_);
    if (verb == "path")
        return pty_.isOpen() ? "ok " + pty_.path() : std::string("error hung up");
    if (verb == "quit") {
        quit_ = true;
        return "ok";
    }
    if (verb == "help")
        return std::string("ok ") + kControlHelp;
    if (verb.empty())
        return "error empty line";
    return "error unknown command '" + verb + "'";
}

std::string Simulator::stats() const {
    std::uint64_t total = 0, other = 0;
    for (int b = 0; b < 256; ++b) {
        total += received_[b];
        if (!isKnownCommand(static_cast<std::uint8_t>(b)))
            other += received_[b];
    }
    std::string s = "total=" + std::to_string(total);
    for (std::uint8_t c : kKnownCommands)
        s += " " + hexByte(c) + "=" + std::to_string(received_[c]);
    return s + " other=" + std::to_string(other);
}

}  // namespace modsim
