#pragma once

#include "support/FakeClock.h"
#include "support/FakeSerialControl.h"
#include "support/IsolatedConfig.h"
#include "recovery/Module1.h"
#include "support/ScriptedBoxes.h"
#include "support/ScriptedRecordPrompts.h"
#include "app/frmMain.h"

#include <QCoreApplication>
#include <memory>

namespace ignivex::test {

// The real main window on the offscreen platform, with the fake port, the fake clock and the
// scripted boxes behind it.
struct MainHarness {
    FakeClock clock;
    FakeSerialControl port{clock};
    ScriptedBoxes boxes;
    ScriptedRecordPrompts prompts;
    Module1 state;
    int ended = 0;
    bool portOpenAtEnd = false;  // as the process ended
    std::unique_ptr<frmMain> window;

    explicit MainHarness(const QString& programFolder = QCoreApplication::applicationDirPath()) {
        window = std::make_unique<frmMain>(
            frmMain::Services{port, clock, boxes, state, [this] {
                ++ended;
                portOpenAtEnd = port.portOpen();
            }, programFolder, &prompts});
    }
    frmMain& w() { return *window; }
    // Loads and shows the window as the start-up does.
    void show() { window->Show(); }
};

}  // namespace ignivex::test
