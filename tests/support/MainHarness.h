#pragma once

#include "support/Bytes.h"
#include "support/FakeClock.h"
#include "support/FakeSerialControl.h"
#include "support/IsolatedConfig.h"
#include "base/Module1.h"
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
        window = std::make_unique<frmMain>(frmMain::Services{port, clock, boxes, state,
                                                             [this] {
                                                                 ++ended;
                                                                 portOpenAtEnd = port.portOpen();
                                                             },
                                                             programFolder, &prompts});
    }
    frmMain& w() { return *window; }
    // Loads and shows the window as the start-up does.
    void show() { window->Show(); }
    // Shown, with the polling timer stopped (the test drives the ticks), and a module behind
    // the port that answers every command: ID "IGX-2 V1.10", status 0x01 (MAP range 1), inputs
    // 0x1C with GPI3 at 0x80, MAP 0x80, battery 0xC4, engine-speed count 4096, advance 0x80.
    void showWithHealthyModule() {
        show();
        window->tmrDataRead()->stop();
        port.setReply(0x33, bytes({0x06}));
        port.setReply(0x10, QByteArray("IGX-2 V1.10\r"));
        port.setReply(0x2F, bytes({0x01}));
        port.setReply(0x24, bytes({0x1C, 0x80}));
        port.setReply(0x22, bytes({0x80}));
        port.setReply(0x23, bytes({0xC4}));
        port.setReply(0x20, bytes({0x00, 0x10}));
        port.setReply(0x26, bytes({0x80}));
    }
};

}  // namespace ignivex::test
