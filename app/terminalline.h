#pragma once

#include <termios.h>

#include "app/linesettings.h"

namespace scale {

// Sets the open terminal `fd` raw with `settings`: no flow control, modem lines ignored, bytes
// with a parity error passed on. False, errno set, when the device refuses any of them.
bool setTerminalLine(int fd, const LineSettings& settings);

// What `attributes` hold of `asSet`: data bits, parity and stop bits as the device keeps them.
// The baud stays as set (termios reports custom rates only through another interface), and so
// does 1.5 stop bits, which termios cannot tell from one.
LineSettings terminalLine(const termios& attributes, const LineSettings& asSet);

}  // namespace scale
