#pragma once

// The real serial layer and the real main window against the module simulator, set up once for
// the end-to-end tests and the benchmarks. Header-only: the users link the shell themselves.
// On Linux the rig starts the simulator; on Windows (under Wine, for the benchmarks) it is
// already running, reached over a COM port (support/AttachedSim.h).

#include "base/Clock.h"
#include "support/IsolatedConfig.h"
#include "base/Module1.h"
#include "link/ModuleLine.h"
#include "link/ModuleLink.h"
#include "link/NativeSerialControl.h"
#include "support/ScriptedBoxes.h"
#include "app/frmMain.h"
#ifdef _WIN32
#include "support/AttachedSim.h"
#else
#include "support/SimProcess.h"
#endif

#include <QStringList>

namespace ignivex::test {

#ifdef _WIN32
using RigSim = AttachedSim;
// The port is the one the simulator's terminal is mapped to, whatever the rig asked for.
inline RigSim startSim(const QString&, int, const QStringList& options) {
    return RigSim(options);
}
inline int rigPort(const RigSim& sim, int) {
    return sim.portNumber();
}
#else
using RigSim = SimProcess;
inline RigSim startSim(const QString& simulator, int portNumber, const QStringList& options) {
    return RigSim(simulator,
                  QStringList{QStringLiteral("--link"), QString::number(portNumber)} + options);
}
inline int rigPort(const RigSim&, int portNumber) {
    return portNumber;
}
#endif

// The module commands over the platform's serial control, with the line set up as the main
// window sets it. The settings folder comes first: the simulator's --link writes into it.
struct LinkRig {
    IsolatedConfig config;
    RigSim sim;
    SteadyClock clock;
    NativeSerialControl port{clock};
    ScriptedBoxes boxes;
    Module1 state;
    ModuleLink link{port, clock, boxes, state};

    LinkRig(const QString& simulator, int portNumber, const QStringList& options)
        : sim(startSim(simulator, portNumber, options)) {
        configureModuleLine(port);
        link.portNumber = static_cast<std::int16_t>(rigPort(sim, portNumber));
        state.mapRangeCode = 1;
    }
    bool control(const QString& line) { return sim.command(line).startsWith(QLatin1String("ok")); }
};

// The main window over the platform's serial control; not yet loaded or shown.
struct AppRig {
    IsolatedConfig config;
    RigSim sim;
    SteadyClock clock;
    NativeSerialControl port{clock};
    ScriptedBoxes boxes;
    Module1 state;
    int ended = 0;
    frmMain window;

    AppRig(const QString& simulator, int portNumber, const QStringList& options,
           const QString& programFolder, RecordPrompts* prompts = nullptr)
        : sim(startSim(simulator, portNumber, options)),
          window({port, clock, boxes, state, [this] { ++ended; }, programFolder, prompts}) {
#ifdef _WIN32
        // The window opens the stored port: the one mapped to the simulator.
        config.store(QString::number(rigPort(sim, portNumber)));
#endif
    }
    bool control(const QString& line) {
        return sim.command(line).startsWith(QLatin1String("ok"));
    }
};

}  // namespace ignivex::test
