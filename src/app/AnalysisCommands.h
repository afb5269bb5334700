#pragma once

#include <QString>
#include <QStringList>

// Questions asked of a recording from the command line, answered as CSV on standard output
// with no window: --stats, --table, --histogram, --section and --xlsx. Errors go to standard
// error, with the exit codes of the recorder.
namespace ignivex::analysis_commands {

// True when the first argument is one of the analysis options.
bool isAnalysis(const QStringList& arguments);

// Runs the analysis the arguments (without the program name) ask for; returns the exit code.
int run(const QStringList& arguments, const QString& program);

QString usageLines(const QString& program);

}  // namespace ignivex::analysis_commands
