#include "display/PollingCycle.h"

#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "recovery/Recovery.h"

#include <QCoreApplication>
#include <cmath>

namespace ignivex {

namespace {

const QColor kLampOn(0, 0, 0);      // input bit set
const QColor kLampOff(255, 0, 0);   // input bit clear, or no link
constexpr std::int16_t kNeedleSetting = 3;

void letTheInterfaceRun() {
    QCoreApplication::processEvents();
}

QColor lampColour(std::int16_t bits, std::int16_t mask) {
    return (bits & mask) == mask ? kLampOn : kLampOff;
}

}  // namespace

PollingCycle::PollingCycle(RealTimePanel& panel, RealTimeView& view, ModuleLink& link,
                           MessageBoxes& boxes, Module1& state, QObject* parent)
    : QObject(parent), panel_(panel), view_(view), link_(link), boxes_(boxes), state_(state) {}

QString PollingCycle::formatRpm(float rpm) {
    if (!std::isfinite(rpm))
        return QStringLiteral("0");
    return QString::number(static_cast<qlonglong>(std::round(double(rpm))));
}

bool PollingCycle::stopRequested() const {
    return state_.escape || !state_.viewActive;
}

void PollingCycle::tmrDataRead_Timer() {
    // Exchanges must never overlap: a tick that comes while an opening, another tick or an
    // exchange is under way (they let events run) does nothing at all.
    if (ticking_ || view_.opening() || link_.exchangeRunning())
        return;
    ticking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{ticking_};

    Recovery r(boxes_);
    state_.escape = false;
    if (!state_.viewActive)
        return;

    link_.ReadGPI();
    if (!link_.linkReady) {
        (void)r.step([&] { showLinkLost(); });
        return;
    }
    if (!r.step([&] {
            panel_.shpLED_GPI1->setFillColor(lampColour(state_.gpiBits, 4));
            panel_.shpLED_GPI2->setFillColor(lampColour(state_.gpiBits, 8));
            panel_.shpLED_GPI3->setFillColor(lampColour(state_.gpiBits, 16));
        }))
        return;
    letTheInterfaceRun();
    if (stopRequested())
        return;

    if (state_.mapRangeCode != 0) {
        const float map = link_.ReadMAP();
        if (!r.step([&] { panel_.gauMAP->setPointerValue(map); }))
            return;
        letTheInterfaceRun();
        if (stopRequested())
            return;
    }

    const float volts = link_.ReadBAT();
    if (!r.step([&] { panel_.gauBatVolts->setPointerValue(volts); }))
        return;
    // The analogue input is refreshed here, after the battery, not right after its read.
    if (!r.step([&] { panel_.gauGPI3A->setPointerValue(state_.gpi3Analog); }))
        return;
    letTheInterfaceRun();
    if (stopRequested())
        return;

    const float rpm = link_.ReadRPM();
    if (!r.step([&] { panel_.gauTach->setValue(rpm / 1000.0f); }))
        return;
    if (!r.step([&] { panel_.gauTach->setNeedleWidth(kNeedleSetting); }))
        return;
    if (!r.step([&] { panel_.gauTach->setCaption(formatRpm(rpm)); }))
        return;
    letTheInterfaceRun();
    if (stopRequested())
        return;

    const float advance = link_.ReadAdvance();
    if (!r.step([&] { panel_.gauAdv->setPointerValue(advance); }))
        return;
    letTheInterfaceRun();
}

void PollingCycle::showLinkLost() {
    panel_.gauMAP->setPointerValue(0);
    panel_.gauBatVolts->setPointerValue(0);
    panel_.gauGPI3A->setPointerValue(0);
    panel_.gauTach->setValue(0);
    panel_.gauTach->setNeedleWidth(kNeedleSetting);
    panel_.gauTach->setCaption(formatRpm(0));
    panel_.shpLED_GPI1->setFillColor(kLampOff);
    panel_.shpLED_GPI2->setFillColor(kLampOff);
    panel_.shpLED_GPI3->setFillColor(kLampOff);
    link_.closePortIfOpen();
    view_.cmdCloseRealTimeData_Click();
}

}  // namespace ignivex
