#include "app/CommandLine.h"
#include "app/HeadlessLogger.h"
#include "app/Main.h"

#include <QStringList>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The command line records with no window; anything else opens the window.
    if (ignivex::command_line::isCommandLine(arguments))
        return ignivex::runCommandLine(argc, argv);
    return ignivex::Main(argc, argv);
}
