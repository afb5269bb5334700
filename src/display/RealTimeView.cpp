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
    layOutMapGauge(opening.rangeCode);
    setUpTachometer();
    panel_.show();
    state_.viewActive = true;
    state_.commErrorCount = 0;
    emit opened();
}

void RealTimeView::layOutMapGauge(std::int16_t rangeCode) {
    LinearGauge& gauge = *panel_.gauMAP;
    if (rangeCode == 0) {
        gauge.setVisible(false);
        return;
    }
    // Range 3 reads up to 90 but keeps the 0..60 scale of range 2.
    const MapLayout& l = rangeCode == 1 ? kMapLayoutRange1 : kMapLayoutRange2And3;
    gauge.setVisible(true);
    gauge.selectBand(0);
    gauge.setBandColorIndex(0);
    gauge.setMinorTicks(0);
    gauge.setScaleMinimum(l.rangeLow);
    gauge.setScaleMaximum(l.rangeHigh);
    gauge.setBandLower(l.rangeLow);
    gauge.setBandUpper(l.rangeHigh);
    gauge.setLabelStart(l.labelStart);
    gauge.setLabelEnd(l.labelEnd);
    gauge.setDivisionStep(l.step);
}

void RealTimeView::setUpTachometer() {
    DialGauge& dial = *panel_.gauTach;
    dial.setWarningStart(kTachWarningStart);
    dial.setRedlineStart(kTachRedlineStart);
    dial.setScaleMaximum(kTachScaleMaximum);
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
