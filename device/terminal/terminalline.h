#pragma once

#include <cstddef>
#include <optional>

#include "device/linesettings.h"

namespace scale {

// How setting a line went; all but Done leave errno set. FramingRefused: the line is raw at its
// baud, but the device keeps no such data bits, parity or stop bits (a pseudo-terminal keeps none
// and says so for any it is asked to change).
enum class LineSetup { Done, Refused, BaudRefused, FramingRefused };

// Sets the open terminal `fd` raw with `settings`: no flow control, modem lines ignored, bytes
// with a parity error passed on.
LineSetup setTerminalLine(int fd, const LineSettings& settings);

// What the open terminal `fd` holds of `asSet`: data bits, parity and stop bits as the device
// keeps them; none when it cannot be asked. The baud stays as set (termios reports custom rates
// only through another interface), and so does 1.5 stop bits, which termios cannot tell from one.
std::optional<LineSettings> terminalLine(int fd, const LineSettings& asSet);

// True when the terminal `fd` no longer answers as one: its device is gone (unplugged, hung up)
// or the descriptor no longer refers to anything.
bool terminalGone(int fd);

// Sets the open terminal `fd` raw and leaves the rest as it is: bytes pass whole both ways. False,
// errno set, when it is no terminal or refuses.
bool setTerminalRaw(int fd);

// Which of a terminal's queues: what came in and is not read yet, what is written but not sent.
enum class TerminalQueue { Received, Unsent, Both };

// Throws away what waits in `which` of the terminal `fd`'s queues.
void discardQueued(int fd, TerminalQueue which);

// Bytes the terminal `fd` has yet to send, and bytes it holds unread; 0 when it cannot tell.
std::size_t unsentBytes(int fd);
std::size_t unreadBytes(int fd);

}  // namespace scale
