#pragma once

#include "acquire/ModuleRun.h"

#include <QObject>
#include <cstdint>

namespace ignivex {

class RealTimePanel;

// Opening and closing the real-time view. Opening brings the link up through the acquisition
// core, lays the MAP gauge out for the module's sensor and shows the panel. Its messages never
// stop it: the panel is shown and the view is active in every case, and a dead link is then
// found by the first polling tick.
class RealTimeView : public QObject {
    Q_OBJECT
public:
    // How soon an opening asked for in the middle of an exchange is tried again.
    static constexpr int kRetryOpeningMs = 20;

    RealTimeView(RealTimePanel& panel, ModuleRun& run, QObject* parent = nullptr);

    void mnuViewRealTime_Click();
    void cmdCloseRealTimeData_Click();

signals:
    // The view has been opened (after its last step) or closed.
    void opened();
    void closed();

private:
    RealTimePanel& panel_;
    ModuleRun& run_;
};

}  // namespace ignivex
