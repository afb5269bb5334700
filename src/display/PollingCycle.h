#pragma once

#include "recovery/MessageBoxes.h"
#include "recovery/Module1.h"
#include "link/ModuleLink.h"

#include <QObject>

namespace ignivex {

class RealTimePanel;
class RealTimeView;

// One tick of the 500 ms polling timer: while the view is open, read the inputs, MAP, battery,
// speed and advance in turn and put each on its gauge or lamp, letting window events run
// between the reads so that Esc and Close act within the tick.
class PollingCycle : public QObject {
    Q_OBJECT
public:
    PollingCycle(RealTimePanel& panel, RealTimeView& view, ModuleLink& link, MessageBoxes& boxes,
                 Module1& state, QObject* parent = nullptr);

    void tmrDataRead_Timer();

    // True while a tick runs.
    bool ticking() const { return ticking_; }

    // "###0": whole number, halves away from zero, no separators.
    static QString formatRpm(float rpm);

private:
    bool stopRequested() const;
    void showLinkLost();

    RealTimePanel& panel_;
    RealTimeView& view_;
    ModuleLink& link_;
    MessageBoxes& boxes_;
    Module1& state_;
    bool ticking_ = false;
};

}  // namespace ignivex
