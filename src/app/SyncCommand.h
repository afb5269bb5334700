#pragma once

#include <QString>
#include <QStringList>

// --sync: the rows that wait in the spools beside the library's recordings go to their server,
// answered as CSV on standard output with no window.
namespace ignivex::sync_command {

bool isSync(const QStringList& arguments);

// Runs it (the arguments without the program name); returns the exit code.
int run(const QStringList& arguments, const QString& program);

QString usageLine(const QString& program);

}  // namespace ignivex::sync_command
