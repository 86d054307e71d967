#pragma once

namespace indicatorsim {

// Sets a baud that has no B-constant (28400, 152000) on an open serial device, in both
// directions, through the Linux termios2 interface. Returns false and leaves errno set on failure.
// In a file of its own: the kernel's termios headers clash with the C library's.
bool setCustomBaud(int fd, long baud);

}  // namespace indicatorsim
