#pragma once

#include <optional>

namespace scale {

// The Linux termios2 interface, which takes and reports rates as numbers.

// Sets a baud that has no B-constant (28400, 152000, 256000) on an open terminal, in both
// directions, through the Linux termios2 interface. False, errno set, when the device refuses it.
// In a file of its own: the kernel's termios headers clash with the C library's.
bool setCustomBaud(int fd, long baud);

// A terminal's flags and rates as the kernel keeps them, custom rates as numbers; for a
// pseudo-terminal's master, those its slave side has set.
struct TerminalFlags {
    unsigned inputFlags = 0;
    unsigned controlFlags = 0;
    unsigned inputBaud = 0;
    unsigned outputBaud = 0;
};

// None, errno set, when `fd` is no terminal.
std::optional<TerminalFlags> terminalFlags(int fd);

}  // namespace scale
