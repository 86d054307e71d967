#pragma once

#include <termios.h>

#include <optional>

namespace scale {

// Plain C++ on termios, no Qt: the simulator sets up its device with these too.

// The B-constant of a standard baud; none for a rate that must be set as a custom one.
std::optional<speed_t> standardSpeed(long baud);

// The slave side of a pseudo-terminal pair keeps its exclusive mode for as long as the master
// is open, even after every process that had the slave open is gone: set there, it would lock
// out everyone but root for the rest of the master's life.
bool isPseudoTerminal(int fd);

}  // namespace scale
