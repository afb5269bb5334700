#pragma once

// The platform's serial control: Qt's serial port on Linux; on Windows the layer of our own on
// Win32 (there Qt's port reports no line faults, and the Windows kit has no Qt SerialPort).
#ifdef _WIN32
#include "link/WinSerialControl.h"
namespace ignivex {
using NativeSerialControl = WinSerialControl;
}
#else
#include "link/QtSerialControl.h"
namespace ignivex {
using NativeSerialControl = QtSerialControl;
}
#endif
