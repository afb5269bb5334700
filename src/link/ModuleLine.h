#pragma once

namespace ignivex {

class SerialControl;

// The serial line the module speaks, set in this order while the port is closed: 56000 bit/s
// (not 57600), no parity, 8 data bits, 1 stop bit; zero bytes kept; a receive event per
// character; one character per read; DTR on, RTS off; a 256-byte receive buffer.
void configureModuleLine(SerialControl& port);

}  // namespace ignivex
