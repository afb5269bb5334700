#include "display/RealTimeView.h"

#include "display/PanelScales.h"
#include "display/RealTimePanel.h"

#include <QTimer>

namespace ignivex {

RealTimeView::RealTimeView(RealTimePanel& panel, ModuleRun& run, QObject* parent)
    : QObject(parent), panel_(panel), run_(run) {
    connect(panel_.cmdCloseRealTimeData, &QPushButton::clicked, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
    // A link given up closes the view.
    connect(&run_.acquisition(), &Acquisition::linkAborted, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
}

void RealTimeView::mnuViewRealTime_Click() {
    // Chosen while an exchange or another opening runs (they let window events run): its
    // bytes would cross theirs on the wire. It runs as soon as they are done instead.
    Acquisition& acquisition = run_.acquisition();
    if (acquisition.opening() || acquisition.link().exchangeRunning()) {
        QTimer::singleShot(kRetryOpeningMs, this, &RealTimeView::mnuViewRealTime_Click);
        return;
    }
    const Acquisition::Opening opening = run_.open();
    layOutMapGauge(*panel_.gauMAP, opening.rangeCode);
    setUpTachometer(*panel_.gauTach);
    panel_.show();
    run_.startPolling();
    emit opened();
}

void RealTimeView::cmdCloseRealTimeData_Click() {
    panel_.hide();
    if (run_.close())
        emit closed();
}

}  // namespace ignivex
