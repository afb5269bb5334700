#pragma once

#include <QGroupBox>

namespace ignivex {

// "KLAV Real Time Data": the live gauges, the input lamps and the Close button on black.
class RealTimePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit RealTimePanel(QWidget* parent = nullptr);
};

}  // namespace ignivex
