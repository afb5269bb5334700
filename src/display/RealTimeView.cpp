#include "display/RealTimeView.h"

#include "display/RealTimePanel.h"

#include <QTimer>

namespace ignivex {

RealTimeView::RealTimeView(RealTimePanel& panel, ModuleLink& link, MessageBoxes& boxes,
                           Module1& state, QObject* parent)
    : QObject(parent), panel_(panel), link_(link), boxes_(boxes), state_(state) {
    connect(panel_.cmdCloseRealTimeData, &QPushButton::clicked, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
    connect(&link_, &ModuleLink::closeViewRequested, this,
            &RealTimeView::cmdCloseRealTimeData_Click);
}

void RealTimeView::message(const QString& text) {
    boxes_.show(text, box::OkOnly + box::Exclamation, QStringLiteral("View Real Time Data"));
}

void RealTimeView::mnuViewRealTime_Click() {
    // Chosen while an exchange or another opening runs (they let window events run): its
    // bytes would cross theirs on the wire. It runs as soon as they are done instead.
    if (opening() || link_.exchangeRunning()) {
        QTimer::singleShot(kRetryOpeningMs, this, &RealTimeView::mnuViewRealTime_Click);
        return;
    }
    ++opening_;
    for (int attempt = 0; attempt < kSyncAttempts; ++attempt) {
        link_.ReSync();
        if (link_.linkReady)
            break;
    }
    if (!link_.linkReady) {
        message(QStringLiteral("Cannot establish RS-232 link. Check cable and module power."));
        link_.closePortIfOpen();
    } else {
        link_.ReadFirmwareID();
        if (state_.firmwareId.isEmpty() || !link_.linkReady)
            message(QStringLiteral(
                "Error - invalid firmware ID. Unable to identify Ignivex version.\r\n"));
    }
    const std::int16_t status = link_.ReadStatus();
    state_.mapRangeCode = static_cast<std::int16_t>(status & 3);
    if (!link_.linkReady)
        message(QStringLiteral("Error - cannot read status.\r\n"));

    layOutMapGauge(state_.mapRangeCode);
    setUpTachometer();
    panel_.show();
    state_.viewActive = true;
    state_.commErrorCount = 0;
    --opening_;
}

void RealTimeView::layOutMapGauge(std::int16_t rangeCode) {
    LinearGauge& gauge = *panel_.gauMAP;
    if (rangeCode == 0) {
        gauge.setVisible(false);
        return;
    }
    // Range 3 reads up to 90 but keeps the 0..60 scale of range 2.
    const std::int16_t top = rangeCode == 1 ? 31 : 61;
    const std::int16_t labelEnd = rangeCode == 1 ? 30 : 60;
    const std::int16_t step = rangeCode == 1 ? 5 : 10;
    gauge.setVisible(true);
    gauge.selectBand(0);
    gauge.setBandColorIndex(0);
    gauge.setMinorTicks(0);
    gauge.setScaleMinimum(-1);
    gauge.setScaleMaximum(top);
    gauge.setBandLower(-1);
    gauge.setBandUpper(top);
    gauge.setLabelStart(0);
    gauge.setLabelEnd(labelEnd);
    gauge.setDivisionStep(step);
}

void RealTimeView::setUpTachometer() {
    DialGauge& dial = *panel_.gauTach;
    dial.setWarningStart(7.0);
    dial.setRedlineStart(7.5);
    dial.setScaleMaximum(std::int16_t(10));
}

void RealTimeView::cmdCloseRealTimeData_Click() {
    panel_.hide();
    link_.closePortIfOpen();
    state_.viewActive = false;
}

}  // namespace ignivex
