#pragma once

#include "recovery/MessageBoxes.h"
#include "recovery/Module1.h"
#include "link/ModuleLink.h"

#include <QObject>
#include <cstdint>

namespace ignivex {

class RealTimePanel;

// Opening and closing the real-time view. Opening brings the link into step, identifies the
// module, reads its status, lays the MAP gauge out for the module's sensor and shows the panel.
// Its messages never stop it: the panel is shown and the view is active in every case, and a
// dead link is then found by the first polling tick.
class RealTimeView : public QObject {
    Q_OBJECT
public:
    static constexpr int kSyncAttempts = 5;
    // How soon an opening asked for in the middle of an exchange is tried again.
    static constexpr int kRetryOpeningMs = 20;

    RealTimeView(RealTimePanel& panel, ModuleLink& link, MessageBoxes& boxes, Module1& state,
                 QObject* parent = nullptr);

    void mnuViewRealTime_Click();
    void cmdCloseRealTimeData_Click();

    // True while an opening runs (its exchanges let window events run in between).
    bool opening() const { return opening_ > 0; }

    // The gauge settings of the opening, by themselves.
    void layOutMapGauge(std::int16_t rangeCode);
    void setUpTachometer();

private:
    void message(const QString& text);

    RealTimePanel& panel_;
    ModuleLink& link_;
    MessageBoxes& boxes_;
    Module1& state_;
    int opening_ = 0;
};

}  // namespace ignivex
