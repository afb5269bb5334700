#pragma once

// The real-time panel's own gauge scales, put on a lone gauge by the tests that draw one.
#include "display/PanelScales.h"

#include <QString>

namespace ignivex::test {

inline const LinearScale& scaleNamed(const QString& caption) {
    for (const LinearScale* s : {&kMapScale, &kAdvanceScale, &kGpi3Scale, &kBatteryScale}) {
        if (caption == QLatin1String(s->caption))
            return *s;
    }
    return kBatteryScale;
}

inline void applyScale(LinearGauge& g, const LinearScale& s) {
    g.setCaption(QString::fromLatin1(s.caption));
    g.setScaleRange(s.scaleMin, s.scaleMax);
    g.setLabelRange(0, s.labelEnd);
    g.setDivisionStep(s.step);
    g.setBands(bandsOf(s));
}

}  // namespace ignivex::test
