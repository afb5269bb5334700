// The line settings the tool put on the pseudo-terminal, read through the far end: the kernel
// keeps one set of settings for both ends. Apart from Pty.cpp because the kernel's termios2
// (custom speeds such as 56000) clashes with the C library's termios.h.
#include "support/Pty.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace ignivex::test {

std::optional<Pty::Line> Pty::line() const {
    struct termios2 t {};
    if (master_ < 0 || ::ioctl(master_, TCGETS2, &t) != 0)
        return std::nullopt;
    Line line;
    line.baud = (t.c_cflag & CBAUD) == BOTHER ? int(t.c_ospeed) : -1;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    line.parity = (t.c_cflag & PARENB) != 0;
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    line.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    return line;
}

}  // namespace ignivex::test
