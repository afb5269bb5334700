// module-sim: an ignition module on a pseudo-terminal, for the demo, the end-to-end tests and the
// benchmarks.

#include "Settings.h"
#include "Simulator.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace modsim;

namespace {

// Follows "Usage: NAME": the name the program was started by (installed, ignivex-module-sim).
constexpr const char* kHelp = R"( [OPTION]...
An Ignivex ignition module on a pseudo-terminal. The first line written to stdout is the
terminal's device path; open it as the serial port (56000 bit/s, 8N1). The simulator holds
the device open itself, so the port may be opened and closed as often as wanted.

Each request is one command byte:
  0x33 synchronise  -> sync-reply (0x06, acknowledge)
  0x10 identify     -> the ID text, then CR (0x0D)
  0x2F status       -> status (bits 0-1: MAP sensor range code)
  0x20 rpm          -> rpm-count, low byte first (rpm = 3750000 / count; 65535 = 0 rpm)
  0x22 MAP          -> map
  0x23 battery      -> bat (volts = b * 18 / 255)
  0x24 inputs       -> gpi (bits 2, 3, 4 = GPI1..GPI3), then gpi3 (volts = b * 5 / 255)
  0x26 advance      -> adv (degrees = b * 0.17578)
Any other byte gets no reply; it is logged and counted.

Numbers are decimal or 0x-hexadecimal. Bytes are 0-255.

Values (also at run time: set NAME VALUE):
  --rpm-count N       0-65535 (default 4167, 900 rpm)
  --rpm RPM           sets rpm-count to the nearest count for RPM; 0 gives 65535
  --map B             default 0x50
  --bat B             default 196 (13.8 V)
  --adv B             default 57 (10.0 degrees)
  --gpi B             default 0x00
  --gpi3 B            default 0x80 (2.5 V)
  --status B          default 0x01 (range code 1)
  --id TEXT           default "IGX-2 V1.10"; may be empty (the reply is then CR alone)
  --sync-reply B      reply to 0x33, default 0x06; any other byte is a wrong sync reply
  --engine            a moving engine (set engine on|off): a 24 s cycle of idle, rev up to
                      about 6500 rpm, cruise, back to idle, repeating. Advance and MAP follow
                      load; the battery sits at 13.8 V with a spell below 11 V and one above
                      16 V; GPI1 and GPI2 toggle every 3 and 4 s; GPI3's analogue value swings
                      slowly between 0.5 and 4.5 V and its bit is set above 2.5 V. It replaces
                      the rpm-count, map, bat, adv, gpi and gpi3 values while on.
  --engine-at SECONDS the engine held still at that point of its cycle (such as 8.5, at full
                      revs), for screenshots and tests; implies --engine. "off" lets it run.
  --paced             bytes take their wire time at 56000 bit/s, 10 bits a byte (178.6 us), on
                      a monotonic clock (set paced on|off): a command counts as received one
                      byte time after it was read, and each reply byte is delivered one byte
                      time after the one before it.

Faults (also at run time: fault NAME [ARG], clear [NAME [CMD]]). CMD is a command byte
such as 0x20, or "all" for every command without an entry of its own. They may be given
more than once, for different commands.
  --silent CMD        no reply (--silent all: none at all)
  --short CMD         the reply one byte short (for 0x10, the CR is missing)
  --late CMD:MS       the reply MS milliseconds after the command (at most 600000); replies
                      to later commands wait behind it
  --extra CMD:N       N bytes 0xEE after the reply
  --garbage CMD:N     N random bytes instead of the reply
  --garbage-append CMD:N
                      N random bytes after the reply
  --id-no-cr          the reply to 0x10 without its CR
  --hangup-after N    answer N command bytes, then hang up: once the other side has read the
                      last reply (or 1 s has passed) the simulator closes its side of the
                      terminal, so the port reads end of file / EIO and the device disappears.
                      Commands received meanwhile are not answered. The simulator keeps
                      running: "replug" opens a new terminal (a new path; the link follows).
                      The count starts when the terminal opens or the fault is switched on.
  --stream            random bytes without end, paced at 56000 bit/s whether --paced is on or
                      not, as from a device at another baud rate; replies still come in
                      between them
  --seed N            seed of the random garbage bytes (default 1)

Running:
  --link N            make $XDG_CONFIG_HOME/Ignivex_Log/ports/ComN (XDG_CONFIG_HOME defaults
                      to ~/.config) a symbolic link to the device, 1 <= N <= 255, creating the
                      folders and replacing what is there. Removed on exit if it still points
                      at our device.
  --log PATH          a line per byte received and per write of reply bytes, stamped with
                      CLOCK_MONOTONIC seconds: "12.345678 rx 0x33", "12.345702 tx 06"; notes
                      start with "--". PATH "-" is stderr.
  --exit-on-eof       exit when stdin ends (without it, the end of stdin only ends control;
                      the simulator runs on until a signal)
  -h, --help          this text

Control: one command a line on stdin, each answered with one line on stdout that starts
with "ok" or "error":
  set NAME VALUE      any value above; NAME is the option without "--" (set engine on)
  fault NAME [ARG]    switch a fault on, NAME and ARG as the option (fault late 0x20:300)
  clear [NAME [CMD]]  switch faults off: all, one kind, or one kind for one command entry
  hangup              hang up now (replies not yet read are lost)
  replug              hang up if not yet, open a new terminal: "ok PATH"
  stats [reset]       command bytes received: "ok total=N 0x33=N 0x10=N 0x2F=N 0x20=N
                      0x22=N 0x23=N 0x24=N 0x26=N other=N"
  show                the values and faults: "ok rpm-count=4167 map=0x50 ..."
  path                "ok PATH" of the current terminal
  help                the list of commands
  quit                exit

SIGTERM, SIGINT and SIGHUP end the simulator cleanly: the link is removed. Exit status 0,
1 if the terminal or the link cannot be made, 2 for a bad option.
)";

std::string programName = "module-sim";

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", programName.c_str(), message.c_str(),
                 programName.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    RunOptions run;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (argc > 0 && argv[0][0] != '\0') {
        programName = argv[0];
        programName.erase(0, programName.find_last_of('/') + 1);
    }

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            std::printf("Usage: %s", programName.c_str());
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg.rfind("--", 0) != 0 || arg.size() == 2)
            return usageError("unexpected argument '" + arg + "'");

        std::string name = arg.substr(2);
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        const bool flag = isFlag(name) || name == "exit-on-eof";
        if (flag && !hasValue) {
            value = "on";
        } else if (!flag && !hasValue) {
            if (i + 1 >= args.size())
                return usageError("--" + name + " needs a value");
            value = args[++i];
        }

        std::string error;
        if (name == "link") {
            const auto n = parseNumber(value, 1, 255);
            if (!n)
                return usageError("--link takes a port number 1-255, not '" + value + "'");
            run.linkPort = static_cast<int>(*n);
        } else if (name == "log") {
            if (value.empty())
                return usageError("--log needs a path");
            run.logPath = value;
        } else if (name == "seed") {
            const auto n = parseNumber(value, 0, 0xFFFFFFFFL);
            if (!n)
                return usageError("--seed takes 0-4294967295, not '" + value + "'");
            run.seed = static_cast<unsigned>(*n);
        } else if (name == "exit-on-eof") {
            if (value != "on")
                return usageError("--exit-on-eof takes no value");
            run.exitOnEof = true;
        } else if (isValueName(name)) {
            error = setValue(settings, name, value);
        } else if (isFaultName(name)) {
            error = setFault(settings, name, value);
        } else {
            return usageError("unknown option --" + name);
        }
        if (!error.empty())
            return usageError(error);
    }

    return Simulator(std::move(settings), std::move(run)).run();
}
