#pragma once

#include "acquire/Acquisition.h"
#include "acquire/Rates.h"
#include "acquire/RunDetails.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>

namespace ignivex {

// One run of the module, from bringing the link up to the end of polling. The window's
// real-time view and the headless logger both drive it; each keeps only its face (gauges and
// boxes, or a terminal and exit codes).
class ModuleRun : public QObject {
    Q_OBJECT
public:
    ModuleRun(Acquisition& acquisition, Module1& state, QObject* parent = nullptr);

    // The port the run uses, by number; `device`, when given, is what the user named it by.
    void setPort(int number, const QString& device = {});
    int portNumber() const;
    // "Com3 (/dev/ttyUSB0)", or the device path the user gave.
    QString portLabel() const;

    // Brings the link up (synchronise, identify, read the status); each failure has been shown
    // by the time it returns.
    Acquisition::Opening open();
    // Polling on, whatever the opening found: a dead link is found by the first tick.
    void startPolling();
    // Polling off and the port closed; true when it was on.
    bool close();
    bool polling() const { return acquisition_.polling(); }

    // The details a recording starting now writes at its top.
    RunDetails details(Rate rate) const;

    Acquisition& acquisition() { return acquisition_; }

private:
    Acquisition& acquisition_;
    Module1& state_;
    QString device_;
};

}  // namespace ignivex
