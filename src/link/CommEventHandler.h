#pragma once

#include "recovery/MessageBoxes.h"
#include "base/Module1.h"
#include "link/SerialControl.h"

#include <QObject>

namespace ignivex {

// Line faults of the serial port. While the real-time view is open, framing and parity faults
// pass silently and an overrun or receive overflow closes the port silently (the next read
// reopens it); otherwise each fault is reported in its own Retry/Cancel box. From the third
// reported fault since the view opened, the port is closed before the box is shown. While one
// box is open, further faults are counted but show no box of their own.
class CommEventHandler : public QObject {
    Q_OBJECT
public:
    CommEventHandler(SerialControl& port, MessageBoxes& boxes, Module1& state,
                     QObject* parent = nullptr);

    void MSComm1_OnComm();

private:
    struct Reporting {
        explicit Reporting(bool& flag) : flag_(flag) { flag_ = true; }
        ~Reporting() { flag_ = false; }
        bool& flag_;
    };
    void closePortIfOpen();

    SerialControl& port_;
    MessageBoxes& boxes_;
    Module1& state_;
    bool reporting_ = false;
};

}  // namespace ignivex
