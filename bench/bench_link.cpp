// Figures for the module link over the real serial layer against the simulator on a
// pseudo-terminal (on Windows, under Wine, through the COM port mapped to it): the round trip of every module command (whole, and the byte exchange by
// itself), the same at the real wire speed, the length of the 2 ms pause, and what a dead link's
// one-second time-out costs in CPU. It prints; it never judges.
#include "BenchSupport.h"

#include "recovery/CommError.h"
#include "support/SimRigs.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>

using namespace ignivex;
using namespace ignivex::bench;
using ignivex::test::AppRig;
using ignivex::test::LinkRig;

namespace {

constexpr int kPort = 7;
constexpr int kWarmup = 10;
const char* const kFirmwareId = "IGX-2 V1.10";

struct Command {
    const char* name;
    std::uint8_t byte;
    int replyBytes;
    std::function<void(ModuleLink&)> run;
};

struct Rig : LinkRig {
    Rig()
        : LinkRig(QStringLiteral(IGNIVEX_SIM), kPort,
                  {QStringLiteral("--id"), QString::fromLatin1(kFirmwareId)}) {
        // The commands set the port number themselves before they open; the timings open the
        // port directly, so it is set here once.
        port.setCommPort(link.portNumber);
    }
    void ensureOpen() {
        if (!port.portOpen())
            port.setPortOpen(true);
    }
};

QList<Command> commands() {
    const int idBytes = int(qstrlen(kFirmwareId)) + 1;  // the text and its CR
    return {
        {"ReSync", ModuleLink::kSync, 1, [](ModuleLink& l) { l.ReSync(); }},
        {"ReadFirmwareID", ModuleLink::kIdentify, idBytes,
         [](ModuleLink& l) { l.ReadFirmwareID(); }},
        {"ReadStatus", ModuleLink::kStatus, 1, [](ModuleLink& l) { l.ReadStatus(); }},
        {"ReadRPM", ModuleLink::kRpm, 2, [](ModuleLink& l) { l.ReadRPM(); }},
        {"ReadAdvance", ModuleLink::kAdvance, 1, [](ModuleLink& l) { l.ReadAdvance(); }},
        {"ReadMAP", ModuleLink::kMap, 1, [](ModuleLink& l) { l.ReadMAP(1); }},
        {"ReadBAT", ModuleLink::kBattery, 1, [](ModuleLink& l) { l.ReadBAT(); }},
        {"ReadGPI", ModuleLink::kGpi, 2, [](ModuleLink& l) { l.ReadGPI(); }},
    };
}

struct Row {
    Summary whole;
    Summary exchange;
    int failedWhole = 0;    // linkReady false or a message box: the run did not succeed
    int shortExchange = 0;  // fewer reply bytes than expected within the second
};

// The whole command as the tool runs it. The port is opened beforehand, outside the timing:
// ReadFirmwareID closes the port when it is done, and the opening is timed on its own.
double timeWhole(Rig& rig, const Command& c, bool& ok) {
    rig.ensureOpen();
    const int boxesBefore = rig.boxes.count();
    const auto start = Steady::now();
    c.run(rig.link);
    const double us = microsSince(start);
    ok = rig.link.linkReady && rig.boxes.count() == boxesBefore;
    return us;
}

// The byte exchange alone, on the serial layer: discard waiting input, write the command
// byte, wait for the whole reply, read it a byte at a time (InputLen 1), exactly the calls
// the commands make minus their error handling and the pause after them.
double timeExchange(Rig& rig, const Command& c, bool& ok) {
    rig.ensureOpen();
    const QByteArray out(1, char(c.byte));
    const auto start = Steady::now();
    rig.port.setInBufferCount(0);
    rig.port.output(out);
    rig.port.waitForInput(c.replyBytes, rig.clock.now() + std::chrono::seconds(1));
    int got = 0;
    const int waiting = rig.port.inBufferCount();
    for (int b = 0; b < std::min(waiting, c.replyBytes); ++b)
        got += int(rig.port.input().size());
    const double us = microsSince(start);
    ok = got == c.replyBytes;
    return us;
}

void printCommandTable(const char* title, const QList<Command>& cmds, const QList<Row>& rows,
                       bool withWire, int runs) {
    std::printf("\n%s\n", title);
    std::printf(
        "  %d runs each after %d warm-up rounds, the commands taken in turn; "
        "microseconds; median / p90 / worst by nearest rank\n",
        runs, kWarmup);
    std::printf("  %-15s %5s %9s | %27s | %27s | %s\n", "command", "bytes", withWire ? "wire" : "",
                "whole command (incl. 2 ms pause)", "exchange alone (no pause)", "not ok");
    std::printf("  %-15s %5s %9s | %8s %8s %9s | %8s %8s %9s |\n", "", "", withWire ? "us" : "",
                "median", "p90", "worst", "median", "p90", "worst");
    for (int i = 0; i < cmds.size(); ++i) {
        const Command& c = cmds[i];
        const Row& r = rows[i];
        const int bytes = 1 + c.replyBytes;
        char wire[32] = "";
        if (withWire)
            std::snprintf(wire, sizeof wire, "%9.1f", wireMicros(bytes));
        std::printf("  %-15s %5d %9s | %8.1f %8.1f %9.1f | %8.1f %8.1f %9.1f | %d/%d\n", c.name,
                    bytes, wire, r.whole.median, r.whole.p90, r.whole.worst, r.exchange.median,
                    r.exchange.p90, r.exchange.worst, r.failedWhole + r.shortExchange, 2 * runs);
    }
    std::printf("  bytes = 1 command byte + reply bytes (the ID: \"%s\" + CR)%s\n", kFirmwareId,
                withWire ? "; wire = bytes x 178.6 us (56000 bit/s, 10 bits a byte)" : "");
    std::printf(
        "  exchange alone = discard input, write the command byte, wait for the reply, "
        "read it; timed right after the\n  whole command, so after its 2 ms pause, as every "
        "exchange in the tool follows a pause\n");
    std::printf(
        "  ReadFirmwareID's whole run includes closing the port, which it does when done; "
        "the exchange alone waits for all %d reply bytes at once\n",
        1 + int(qstrlen(kFirmwareId)));
    std::printf(
        "  not ok = whole runs without linkReady or with a message box, plus exchanges "
        "short of the reply\n");
    std::fflush(stdout);
}

void printOpenClose(Rig& rig, int runs) {
    std::vector<double> open, close;
    for (int i = 0; i < runs; ++i) {
        rig.port.setPortOpen(false);
        auto start = Steady::now();
        rig.port.setPortOpen(true);
        open.push_back(microsSince(start));
        start = Steady::now();
        rig.port.setPortOpen(false);
        close.push_back(microsSince(start));
    }
    const Summary o = summarise(open);
    const Summary c = summarise(close);
    std::printf(
        "\nOpening and closing the port (ReadFirmwareID closes it, so the next command "
        "opens it again)\n");
    std::printf("  %d runs; microseconds\n", runs);
    std::printf("  %-22s %8s %8s %9s\n", "", "median", "p90", "worst");
    std::printf("  %-22s %8.1f %8.1f %9.1f\n", "open (PortOpen = True)", o.median, o.p90, o.worst);
    std::printf("  %-22s %8.1f %8.1f %9.1f\n", "close (PortOpen = False)", c.median, c.p90,
                c.worst);
    std::fflush(stdout);
}

// Round robin over the commands, so that a change in the machine's load during the run
// spreads over all of them instead of falling on whichever command was being timed.
QList<Row> measureCommands(Rig& rig, const QList<Command>& cmds, int runs) {
    const qsizetype n = cmds.size();
    std::vector<std::vector<double>> whole(static_cast<std::size_t>(n));
    std::vector<std::vector<double>> exchange(static_cast<std::size_t>(n));
    QList<Row> rows(n);
    for (int round = 0; round < kWarmup + runs; ++round) {
        for (qsizetype i = 0; i < n; ++i) {
            bool ok = true;
            const double w = timeWhole(rig, cmds[i], ok);
            if (round >= kWarmup) {
                whole[std::size_t(i)].push_back(w);
                rows[i].failedWhole += ok ? 0 : 1;
            }
            const double x = timeExchange(rig, cmds[i], ok);
            if (round >= kWarmup) {
                exchange[std::size_t(i)].push_back(x);
                rows[i].shortExchange += ok ? 0 : 1;
            }
        }
    }
    for (qsizetype i = 0; i < n; ++i) {
        rows[i].whole = summarise(whole[std::size_t(i)]);
        rows[i].exchange = summarise(exchange[std::size_t(i)]);
    }
    return rows;
}

// The same exchange repeated with nothing in between: the process and the simulator stay
// awake, so this is the floor of the exchange. In the tool every exchange follows a pause.
void printBackToBack(Rig& rig, const QList<Command>& cmds, int runs, const char* mode) {
    std::printf(
        "\nExchange alone, back to back (%s): one command repeated %d times after %d "
        "warm-up runs, no pause between; microseconds\n",
        mode, runs, kWarmup);
    std::printf("  %-15s %8s %8s %8s %9s | %s\n", "command", "best", "median", "p90", "worst",
                "short replies");
    for (const Command& c : cmds) {
        std::vector<double> us;
        int shortReplies = 0;
        for (int i = 0; i < kWarmup + runs; ++i) {
            bool ok = true;
            const double t = timeExchange(rig, c, ok);
            if (i < kWarmup)
                continue;
            us.push_back(t);
            shortReplies += ok ? 0 : 1;
        }
        const Summary s = summarise(us);
        std::printf("  %-15s %8.1f %8.1f %8.1f %9.1f | %d/%d\n", c.name, s.best, s.median, s.p90,
                    s.worst, shortReplies, runs);
    }
    std::fflush(stdout);
}

void printDelayTimer(Rig& rig, int calls) {
    std::vector<double> us;
    us.reserve(std::size_t(calls));
    const std::int32_t two = 2;
    for (int i = 0; i < calls; ++i) {
        const auto start = Steady::now();
        rig.link.DelayTimer(two);
        us.push_back(microsSince(start));
    }
    const Summary s = summarise(us);
    std::printf("\nDelayTimer(2): %d calls; microseconds\n", calls);
    std::printf("  %8s %8s %8s %9s\n", "best", "median", "p90", "worst");
    std::printf("  %8.1f %8.1f %8.1f %9.1f\n", s.best, s.median, s.p90, s.worst);
    std::fflush(stdout);
}

bool printDeadLinkTimeout(Rig& rig, int repeats) {
    if (!rig.control(QStringLiteral("clear")) || !rig.control(QStringLiteral("fault silent all"))) {
        std::fprintf(stderr, "bench_link: the simulator refused \"fault silent all\"\n");
        return false;
    }
    std::printf(
        "\nDead link: ReadBAT against a silent module (simulator: fault silent all), the "
        "time-out prompt answered Ignore\n");
    std::printf("  %-4s %10s %10s %8s  %s\n", "run", "wall ms", "CPU ms", "CPU %", "prompts shown");
    for (int i = 1; i <= repeats; ++i) {
        rig.ensureOpen();
        rig.boxes.answer({box::Ignore});
        const int before = rig.boxes.count();
        const double cpu0 = cpuTimes().total();
        const auto start = Steady::now();
        rig.link.ReadBAT();
        const double wallMs = microsSince(start) / 1000.0;
        const double cpuMs = cpuTimes().total() - cpu0;
        QString shown;
        for (int b = before; b < rig.boxes.count(); ++b)
            shown +=
                (shown.isEmpty() ? QString() : QStringLiteral(" | ")) + rig.boxes.shown[b].text;
        std::printf("  %-4d %10.1f %10.1f %8.2f  %d: %s\n", i, wallMs, cpuMs,
                    100.0 * cpuMs / wallMs, rig.boxes.count() - before, qPrintable(shown));
    }
    std::printf("  CPU = user + system time of this process (%s) across the call\n", kCpuSource);
    std::fflush(stdout);
    return rig.control(QStringLiteral("clear"));
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: bench_link [--runs N] [--delays N] [--timeouts N]\n"
                "  --runs N      timed runs per command and mode (default 200)\n"
                "  --delays N    DelayTimer(2) calls (default 1000)\n"
                "  --timeouts N  one-second dead-link time-outs (default 3)\n");
            return 0;
        }
    }
    const int runs = intOption(argc, argv, "--runs", 200);
    const int delays = intOption(argc, argv, "--delays", 1000);
    const int timeouts = intOption(argc, argv, "--timeouts", 3);

    QCoreApplication app(argc, argv);
    const std::string title = std::string("bench_link: module commands over ") + kSerialLayer +
                              " + SteadyClock against module-sim";
    printMachineContext(title.c_str());

    Rig rig;
    if (!rig.sim.ok()) {
        std::fprintf(stderr, "bench_link: the simulator did not start (%s)\n", IGNIVEX_SIM);
        return 1;
    }
    std::printf("  simulator : %s, linked as Com%d\n", qPrintable(rig.sim.device()),
                int(rig.link.portNumber));
    try {
        rig.port.setPortOpen(true);
    } catch (const CommError& e) {
        std::fprintf(stderr, "bench_link: cannot open the port: %s\n", qPrintable(e.description()));
        return 1;
    }
    rig.link.ReSync();
    if (!rig.link.linkReady || rig.boxes.count() != 0) {
        std::fprintf(stderr, "bench_link: the simulator does not answer the synchronisation\n");
        return 1;
    }

    try {
        const QList<Command> cmds = commands();
        const QList<Row> unpaced = measureCommands(rig, cmds, runs);
        printCommandTable(
            "Round trips, unpaced simulator (bytes as fast as the pseudo-terminal "
            "carries them)",
            cmds, unpaced, false, runs);
        printBackToBack(rig, cmds, runs, "unpaced");

        if (!rig.control(QStringLiteral("set paced on"))) {
            std::fprintf(stderr, "bench_link: the simulator refused \"set paced on\"\n");
            return 1;
        }
        const QList<Row> paced = measureCommands(rig, cmds, runs);
        printCommandTable("Round trips, paced simulator (56000 bit/s, 10 bits a byte)", cmds, paced,
                          true, runs);
        printBackToBack(rig, cmds, runs, "paced");
        if (!rig.control(QStringLiteral("set paced off"))) {
            std::fprintf(stderr, "bench_link: the simulator refused \"set paced off\"\n");
            return 1;
        }

        printOpenClose(rig, runs);
        printDelayTimer(rig, delays);
        if (!printDeadLinkTimeout(rig, timeouts))
            return 1;
    } catch (const CommError& e) {
        // The serial layer refused something outside a command's own error handling.
        std::fprintf(stderr, "bench_link: serial layer error: %s\n", qPrintable(e.description()));
        return 1;
    }
    printLoadAtEnd();
    return 0;
}
