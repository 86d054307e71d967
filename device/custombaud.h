#pragma once

namespace scale {

// Sets a baud that has no B-constant (28400, 152000, 256000) on an open terminal, in both
// directions, through the Linux termios2 interface. False, errno set, when the device refuses it.
// In a file of its own: the kernel's termios headers clash with the C library's.
bool setCustomBaud(int fd, long baud);

}  // namespace scale
