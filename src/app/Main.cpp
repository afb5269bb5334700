#include "app/Main.h"

#include "base/AppIdentity.h"
#include "base/Clock.h"
#include "base/Module1.h"
#include "app/QtMessageBoxes.h"
#include "link/NativeSerialControl.h"
#include "app/frmMain.h"
#include "app/ArgumentChecks.h"
#include "app/ChartWindows.h"
#include "branding/BrandingFile.h"
#include "branding/HelpWindow.h"
#include "branding/ProgramFiles.h"
#include "branding/frmSplash.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
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

// Which files this run uses, for support and for the install check.
void logProgramFiles(const QString& programFolder) {
    if (!lcFiles().isInfoEnabled())
        return;
    const QString branding = brandingFilePath(programFolder);
    const QString help = helpContentsPath(programFolder);
    qCInfo(lcFiles).noquote() << "program folder:" << programFolder;
    qCInfo(lcFiles).noquote() << "program files:" << programFilesFolder(programFolder);
    qCInfo(lcFiles).noquote()
        << "branding file:"
        << (QFileInfo::exists(branding)
                ? branding
                : QStringLiteral("none, built-in branding (looked for %1)")
                      .arg(brandingFileCandidates(programFolder).join(QStringLiteral(", "))));
    qCInfo(lcFiles).noquote() << "help pages:" << help
                              << (QFileInfo(help).isFile() ? "(found)" : "(missing)");
}
}  // namespace

int Main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    applyApplicationTitle();
    // The window's load makes the program's folder the current one: a recording named on the
    // command line by a relative path is taken from where the program was started, so it is
    // made absolute before anything else runs.
    QStringList files;
    bool dashboard = false;
    for (const QString& file : QCoreApplication::arguments().mid(1)) {
        if (file == command_line::kDashboardOption)
            dashboard = true;
        else
            files << QFileInfo(file).absoluteFilePath();
    }

    static Module1 state;
    SteadyClock clock;
    QtMessageBoxes boxes;
    NativeSerialControl port(clock);

    const QString programFolder = QCoreApplication::applicationDirPath();
    logProgramFiles(programFolder);
    runSplash(boxes, state, programFolder, [&boxes](QWidget* splash) { boxes.setOwner(splash); });

    frmMain window({port, clock, boxes, state, [] { endProgram(); }, programFolder});
    boxes.setOwner(&window);
    window.Show();
    qCInfo(lcFiles) << "main window shown";
    // A recording named on the command line (as the file manager passes it) opens in the
    // review once the window stands.
    if (files.size() == 1) {
        qCInfo(lcFiles).noquote() << "recording named on the command line:" << files.first();
        QTimer::singleShot(
            0, &window, [&window, file = files.first()] { window.charts().openRecording(file); });
    }
    // --dashboard: the real-time view opened as View Real Time Data opens it, its prompts and
    // all, then the dashboard over the whole screen.
    if (dashboard)
        QTimer::singleShot(0, &window, [&window] {
            window.mnuViewRealTime_Click();
            window.mnuViewDashboard_Click();
        });
    return app.exec();
}

}  // namespace ignivex
