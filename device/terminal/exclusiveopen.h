#pragma once

#include <string>

namespace scale {

// Why a serial device did not open.
enum class OpenRefusal {
    None,
    NoSuchDevice,
    PermissionDenied,
    InUse,      // another open holds it
    NotSerial,  // it opens, but it is no terminal
    Other,
};

// The step at which an open was refused: opening the node, asking it for its terminal settings,
// taking the lock, or entering exclusive mode.
enum class OpenStep { Open, Terminal, Lock, Exclusive };

struct ExclusiveOpen {
    int fd = -1;  // -1 when refused
    OpenRefusal refusal = OpenRefusal::None;
    int error = 0;  // the failing call's errno
    OpenStep failedAt = OpenStep::Open;
};

// Opens the terminal `path` for reading and writing, non-blocking, as the only user of the
// device whatever name reaches it: an advisory lock on the open file and, where it does not
// outlive us, the terminal's exclusive mode. The kernel drops both when the descriptor closes,
// also when the process is killed, so nothing is ever left behind that blocks the next user.
ExclusiveOpen openExclusive(const std::string& path);

// Gives up the device: leaves exclusive mode (another process of root's may share the device)
// and closes the descriptor.
void closeExclusive(int fd);

}  // namespace scale
