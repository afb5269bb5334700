#include "display/RealTimeView.h"

#include "display/PanelScales.h"
#include "display/RealTimePanel.h"

#include <QTimer>

namespace ignivex {

RealTimeView::RealTimeView(RealTimePanel& panel, Acquisition& acquisition, Module1& state,
                           QObject* parent)
    : QObject(parent), panel_(panel), acquisition_(acquisition), state_(state) {
    connect(panel_.cmdCloseRealTimeData, &QPushButton::clicked, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
    connect(&acquisition_.link(), &ModuleLink::closeViewRequested, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
    connect(&acquisition_, &Acquisition::closeViewRequested, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
}

void RealTimeView::mnuViewRealTime_Click() {
    // Chosen while an exchange or another opening runs (they let window events run): its
    // bytes would cross theirs on the wire. It runs as soon as they are done instead.
    if (acquisition_.opening() || acquisition_.link().exchangeRunning()) {
        QTimer::singleShot(kRetryOpeningMs, this, &RealTimeView::mnuViewRealTime_Click);
        return;
    }
    const Acquisition::Opening opening = acquisition_.openLink();
    layOutMapGauge(*panel_.gauMAP, opening.rangeCode);
    setUpTachometer(*panel_.gauTach);
    panel_.show();
    state_.viewActive = true;
    state_.commErrorCount = 0;
    emit opened();
}

void RealTimeView::cmdCloseRealTimeData_Click() {
    panel_.hide();
    acquisition_.link().closePortIfOpen();
    const bool wasActive = state_.viewActive;
    state_.viewActive = false;
    if (wasActive)
        emit closed();
}

}  // namespace ignivex
