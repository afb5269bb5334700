#include "display/PanelScales.h"

namespace ignivex {

QList<GaugeBand> bandsOf(const LinearScale& scale) {
    QList<GaugeBand> bands;
    for (int i = 0; i < scale.bandCount; ++i) {
        const auto& b = scale.bands[std::size_t(i)];
        bands.append({b.from, b.to, b.red ? QColor(255, 0, 0) : QColor(Qt::black)});
    }
    return bands;
}

void layOutMapGauge(LinearGauge& gauge, std::int16_t rangeCode) {
    if (rangeCode == 0) {
        gauge.setVisible(false);
        return;
    }
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

void setUpTachometer(DialGauge& dial) {
    dial.setWarningStart(kTachWarningStart);
    dial.setRedlineStart(kTachRedlineStart);
    dial.setScaleMaximum(kTachScaleMaximum);
}

}  // namespace ignivex
