#pragma once

#include <QObject>
#include <functional>

namespace ignivex::win_console {

// Ctrl+C, Ctrl+Break and the console window closing (or the user logging off) call `stop` on
// the thread of `context`: the same clean end that SIGINT gives on Linux. Also lets the
// progress line redraw itself in place (the console's escape sequences).
void watchStopRequests(QObject* context, std::function<void()> stop);

// Each line of standard input (a pipe, a file, or the console the program was started from)
// is handed to `line` on the thread of `context`, without its end of line. Windows has no
// notifier for a console or a pipe, so a thread of its own reads it; it ends with the input,
// or is left blocked in its read when the program ends.
void watchInputLines(QObject* context, std::function<void(const QString&)> line);

// The program is built for the window subsystem, so it starts without a console of its own.
// Started from one for the command line, it writes there; where standard error already
// leads somewhere (a pipe, a file, Wine's terminal) nothing changes.
void useParentConsole();

}  // namespace ignivex::win_console
