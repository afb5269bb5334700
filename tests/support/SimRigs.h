#pragma once

// The real serial layer and the real main window against the module simulator, set up once for
// the end-to-end tests and the benchmarks. Header-only: the users link the shell themselves.

#include "base/Clock.h"
#include "support/IsolatedConfig.h"
#include "base/Module1.h"
#include "link/ModuleLine.h"
#include "link/ModuleLink.h"
#include "link/QtSerialControl.h"
#include "support/ScriptedBoxes.h"
#include "support/SimProcess.h"
#include "app/frmMain.h"

#include <QStringList>

namespace ignivex::test {

inline QStringList simArguments(int portNumber, const QStringList& options) {
    return QStringList{QStringLiteral("--link"), QString::number(portNumber)} + options;
}

// The module commands over QtSerialControl, with the line set up as the main window sets it.
// The settings folder comes first: the simulator's --link writes into it.
struct LinkRig {
    IsolatedConfig config;
    SimProcess sim;
    SteadyClock clock;
    QtSerialControl port{clock};
    ScriptedBoxes boxes;
    Module1 state;
    ModuleLink link{port, clock, boxes, state};

    LinkRig(const QString& simulator, int portNumber, const QStringList& options)
        : sim(simulator, simArguments(portNumber, options)) {
        configureModuleLine(port);
        link.portNumber = static_cast<std::int16_t>(portNumber);
        state.mapRangeCode = 1;
    }
    bool control(const QString& line) { return sim.command(line).startsWith(QLatin1String("ok")); }
};

// The main window over QtSerialControl; not yet loaded or shown.
struct AppRig {
    IsolatedConfig config;
    SimProcess sim;
    SteadyClock clock;
    QtSerialControl port{clock};
    ScriptedBoxes boxes;
    Module1 state;
    int ended = 0;
    frmMain window;

    AppRig(const QString& simulator, int portNumber, const QStringList& options,
           const QString& programFolder, RecordPrompts* prompts = nullptr)
        : sim(simulator, simArguments(portNumber, options)),
          window({port, clock, boxes, state, [this] { ++ended; }, programFolder, prompts}) {}
    bool control(const QString& line) { return sim.command(line).startsWith(QLatin1String("ok")); }
};

}  // namespace ignivex::test
