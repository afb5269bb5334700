#pragma once
// The event loop: one blocking poll() over the terminal, stdin, the signals and one timer that is
// always armed for the next thing due (a paced or late reply byte, a pending hang-up). Nothing
// spins; an idle simulator sleeps in poll().

#include "Pty.h"
#include "Settings.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <random>
#include <string>

namespace modsim {

using Nanos = std::int64_t;  // CLOCK_MONOTONIC

Nanos monotonicNow();

// One direction of the serial line at 56000 bit/s, 10 bits a byte. Bytes that follow each other
// are timed from the start of their burst, so rounding never accumulates.
class Wire {
public:
    static Nanos byteTime(std::int64_t bytes) {
        return bytes * 1'250'000 / 7;
    }  // 10 / 56000 s each
    // When a byte handed over at `ready` has fully arrived at the other end.
    Nanos deliver(Nanos ready);

private:
    Nanos burstStart_ = 0;
    std::int64_t burstBytes_ = 0;
};

struct RunOptions {
    int linkPort = 0;  // 0: no link
    std::string logPath;
    bool exitOnEof = false;
    unsigned seed = 1;
};

class Simulator {
public:
    Simulator(Settings settings, RunOptions options);
    ~Simulator();
    // Opens the terminal, prints its path, serves until told to stop. Returns the exit status.
    int run();

private:
    struct OutByte {
        std::uint8_t byte;
        Nanos due;
    };

    bool openLine(std::string& error);
    void hangUp(const std::string& why);
    void readLine(Nanos now);
    void receive(std::uint8_t byte, Nanos readAt, Nanos arrival);
    void feedStream(Nanos now);
    void writeDue(Nanos now);
    void checkHangup(Nanos now);
    Nanos nextWake() const;
    void readControl();
    std::string control(const std::string& line);
    std::string stats() const;
    void log(Nanos t, const std::string& text);
    void answer(const std::string& line);

    Settings settings_;
    RunOptions options_;
    Pty pty_;
    std::string linkPath_;
    int timer_ = -1;
    int signals_ = -1;
    bool stdinOpen_ = true;
    std::string stdinBuffer_;
    bool quit_ = false;
    std::FILE* log_ = nullptr;
    std::mt19937 random_;
    Nanos start_ = 0;

    std::deque<OutByte> out_;
    bool writeBlocked_ = false;
    Wire rxWire_, txWire_;
    Nanos lastWrite_ = 0;

    int commandsOnLine_ = 0;
    bool hangupPending_ = false;
    Nanos hangupCheck_ = 0;

    std::array<std::uint64_t, 256> received_{};
};

}  // namespace modsim
