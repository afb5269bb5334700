#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace ignivex {

// The program-wide state that lives for the whole run. Each part of the tool reads and writes
// only what its own job needs; the comments say who sets what.
struct Module1 {
    bool viewActive = false;          // the real-time view is open
    bool escape = false;              // Esc pressed since the polling tick began
    std::int16_t commErrorCount = 0;  // reported line faults since the view last opened
    std::int16_t mapRangeCode = 0;    // 1 after load, then status byte AND 3
    std::int16_t gpiBits = 0;         // first reply byte of ReadGPI; bits 2..4 are GPI1..3
    float gpi3Analog = 0.0f;          // second reply byte of ReadGPI, scaled to 0..5
    QString firmwareId;               // empty: identification failed
    QStringList SplashLines;          // branding: splash section (position 1 at index 0)
    QStringList AboutLines;           // branding: About section (position 1 at index 0)
};

}  // namespace ignivex
