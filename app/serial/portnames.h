#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace scale {

// Orders the host's serial devices for "Com1", "Com2", ...: USB and ACM adapters first (ttyUSB0,
// ttyACM0, ttyUSB1, ... by their number), then every other device by name. A single plugged-in
// adapter is thus "Com1" with no set-up.
QStringList orderHostPorts(QStringList systemLocations);

// The target of the operator's link `portsFolder`/ComN (a dangling one included), or the file
// standing there; nullopt when there is neither, so the host's ports must be asked.
std::optional<QString> linkedPortDevice(int port, const QString& portsFolder);

// The device that "ComN" reaches: the target of the link `portsFolder`/ComN when there is one
// (an operator's pin, or a test's pseudo-terminal), else the N-th of `hostPorts` on Linux, else
// "COMN" on Windows. Empty when there is no such port.
QString resolvePortDevice(int port, const QString& portsFolder, const QStringList& hostPorts);

}  // namespace scale
