#include "link/ModuleLine.h"

#include "link/SerialControl.h"

namespace ignivex {

void configureModuleLine(SerialControl& port) {
    port.setSettings(QStringLiteral("56000,N,8,1"));
    port.setNullDiscard(false);
    port.setRThreshold(1);
    port.setInputLen(1);
    port.setDTREnable(true);
    port.setRTSEnable(false);
    port.setInBufferSize(256);
}

}  // namespace ignivex
