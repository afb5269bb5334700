#pragma once

#include "acquire/Rates.h"
#include "formula/FormulaChannels.h"
#include "watch/AlarmSet.h"
#include "watch/StartTrigger.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <variant>

namespace ignivex::command_line {

// Exit codes of the command line, as its help and manual page give them.
enum Exit : int {
    kDone = 0,            // recorded until the duration ended or SIGINT/SIGTERM/SIGHUP came
    kFailed = 1,          // anything else that stopped the program
    kBadArguments = 2,    // the command line could not be used; a usage line says why
    kFileNotWritten = 3,  // the file exists (without --force) or cannot be created
    kPortNotOpened = 4,   // the port could not be opened at the start
    kInterrupted = 5,     // the recording stopped before its end: the file could no longer be
                          // written, or it was deleted, replaced or cut short under the logger
};

struct Options {
    QString file;
    // Port number 1..255, or a device path; neither: the stored port.
    int portNumber = 0;
    QString device;
    Rate rate = kViewRate;
    std::optional<std::chrono::milliseconds> duration;
    bool force = false;
    // Each --channel NAME=FORMULA, which the alarms and the start condition may read.
    std::vector<formula::Definition> channels;
    // Each --alarm, its hold time --alarm-hold's.
    std::vector<watch::Alarm> alarms;
    // --start-when with --keep-before and --stop-after: the file is then FILE-1, FILE-2, ...
    std::optional<watch::TriggerSettings> trigger;
    // --publish URL: the rows go to the team's server as they are recorded.
    QString publish;
};

// What the arguments ask for.
struct Help {};
struct Version {};
struct Usage {
    QString error;  // what is wrong, for the line above the usage line
};
using Request = std::variant<Options, Help, Version, Usage>;

// True when the arguments are the command line's rather than the window's: one of its options,
// or anything that looks like an option and is not the toolkit's own (-platform and the like,
// which the window takes), so a mistyped option gets a usage line, never the window.
bool isCommandLine(const QStringList& arguments);

// Reads the arguments (without the program name).
Request parse(const QStringList& arguments);

QString usageLine(const QString& program);
QString helpText(const QString& program);

}  // namespace ignivex::command_line
