#pragma once

#include <QString>
#include <QStringList>

// The library of runs from the command line, answered as CSV on standard output with no
// window: --library-add, --library-list, --library-tag, each with --library PLACE to use
// another library than the user's own.
namespace ignivex::library_commands {

// True when the arguments ask for one of the library's commands.
bool isLibrary(const QStringList& arguments);

// Runs it (the arguments without the program name); returns the exit code.
int run(const QStringList& arguments, const QString& program);

QString usageLines(const QString& program);

// A CSV cell: quoted when it holds a comma, a quote or a line end, its quotes doubled.
QString csvCell(const QString& text);

}  // namespace ignivex::library_commands
