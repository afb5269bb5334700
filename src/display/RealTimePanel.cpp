#include "RealTimePanel.h"

#include "Twips.h"

namespace ignivex {

RealTimePanel::RealTimePanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("fraRealTimeData"));
    setTitle(QStringLiteral("KLAV Real Time Data"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    setPalette(p);
    setGeometry(twipsRect(0, 0, 9015, 6255));
}

}  // namespace ignivex
