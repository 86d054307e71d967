#pragma once

#include <QString>
#include <optional>

namespace scale {

struct DeviceHolder {
    qint64 pid = 0;
    QString program;
};

// Another process that has the device node `devicePath` reaches open (whatever name it used),
// as far as /proc tells this user; nullopt when none is found. The one holding the node's lock
// comes first: a pseudo-terminal is also open in the program at its other end.
std::optional<DeviceHolder> deviceHolder(const QString& devicePath);

// The process that holds the node's lock, the one that keeps others from opening it; nullopt
// when none does, though it may be open in other programs.
std::optional<DeviceHolder> deviceLockHolder(const QString& devicePath);

}  // namespace scale
