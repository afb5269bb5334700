#include "app/Main.h"

#include "recovery/AppIdentity.h"
#include "recovery/Clock.h"
#include "recovery/Module1.h"
#include "app/QtMessageBoxes.h"
#include "link/QtSerialControl.h"
#include "app/frmMain.h"
#include "branding/frmSplash.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

namespace ignivex {

namespace {
// Closing the main window ends the run at once, from wherever it happens, even inside a
// nested wait. The one setting is already on disk by then.
[[noreturn]] void endProgram() {
    std::fflush(nullptr);
    ::_exit(0);
}
}  // namespace

int Main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    applyApplicationTitle();

    static Module1 state;
    SteadyClock clock;
    QtMessageBoxes boxes;
    QtSerialControl port(clock);

    const QString programFolder = QCoreApplication::applicationDirPath();
    runSplash(boxes, state, programFolder, [&boxes](QWidget* splash) { boxes.setOwner(splash); });

    frmMain window({port, clock, boxes, state, [] { endProgram(); }, programFolder});
    boxes.setOwner(&window);
    window.Show();
    return app.exec();
}

}  // namespace ignivex
