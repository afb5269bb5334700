#pragma once

#include <QString>

namespace ignivex {

// The link's messages are worded for the window: buttons to click, menus to open, the port as
// "Com1 (device)". Without a window they are reworded for the command line: no button and no
// menu, the device path the user gave instead of a port name they never chose, and the option
// that changes the port. `device` is the path given with --port (empty for a port number).
QString forCommandLine(const QString& text, const QString& device);

}  // namespace ignivex
