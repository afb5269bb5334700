#include "app/AnalysisCommands.h"
#include "app/CommandLine.h"
#include "app/HeadlessLogger.h"
#include "app/LibraryCommands.h"
#include "app/Main.h"
#include "app/SyncCommand.h"
#include "base/FileCalls.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#ifdef Q_OS_WIN
#include "app/WinConsole.h"
#endif

int main(int argc, char* argv[]) {
    // A file over the size limit (ulimit -f) fails its write, which every writer reports, rather
    // than ending the program without a word.
    ignivex::file_calls::keepRunningOverSizeLimit();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Questions asked of a recording are answered on standard output, with no window.
    if (ignivex::analysis_commands::isAnalysis(arguments)) {
        QCoreApplication app(argc, argv);
        return ignivex::analysis_commands::run(
            arguments, QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    }
    if (ignivex::library_commands::isLibrary(arguments)) {
        QCoreApplication app(argc, argv);
        return ignivex::library_commands::run(
            arguments, QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    }
    if (ignivex::sync_command::isSync(arguments)) {
        QCoreApplication app(argc, argv);
        return ignivex::sync_command::run(
            arguments, QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    }
    // The command line records with no window; anything else opens the window.
    if (ignivex::command_line::isCommandLine(arguments)) {
#ifdef Q_OS_WIN
        ignivex::win_console::useParentConsole();
#endif
        return ignivex::runCommandLine(argc, argv);
    }
    return ignivex::Main(argc, argv);
}
