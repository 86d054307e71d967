#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "app/serial/deviceholder.h"
#include "tools/scale-read/records/recordformat.h"

namespace scaleread {

// A device node's group, and whether this user may open it for reading and writing.
struct DeviceAccess {
    bool exists = false;
    QString group;
    bool mayOpen = false;
};
DeviceAccess deviceAccess(const QString& device);

// The process that keeps others from opening the device. A pseudo-terminal is open in the
// program at its other end (a simulator) without being held, so there only its lock counts.
std::optional<scale::DeviceHolder> portHolder(const QString& device);

// Where the listing reads the host's facts; a test points it at a tree of its own.
struct HostView {
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    QString proc = QStringLiteral("/proc");
    std::function<DeviceAccess(const QString& device)> access = &deviceAccess;
    std::function<std::optional<scale::DeviceHolder>(const QString& device)> holder = &portHolder;
};

// One serial device: how "ComN" reaches it and what the host knows about it. Empty texts are
// facts the kernel does not give (no USB device above it, say).
struct PortEntry {
    QStringList comNames;  // the "ComN" that reach it now, lowest first
    QStringList links;     // the "ComN" whose link in the ports folder points at it
    QString device;        // the host's name for it, or the link's target
    QString byId;          // its stable name under /dev/serial/by-id
    QString usbId;         // "0403:6001"
    QString maker;
    QString product;
    QString serial;
    QString driver;
    DeviceAccess access;
    std::optional<scale::DeviceHolder> holder;
    QStringList conflicts;  // programs running on this host that are known to take such ports
};

// The host's serial devices (`hostPorts`, in "ComN" order) and the devices the links in
// `portsFolder` reach, in the order of the first "ComN" that reaches each; devices no "ComN"
// reaches come last.
std::vector<PortEntry> listPorts(const QStringList& hostPorts, const QString& portsFolder,
                                 const HostView& host = {});

// One line without its line end: "Com1 /dev/ttyUSB0 key=value ..." for people (text) or one
// JSON object (jsonl).
QString portLine(const PortEntry& entry, OutputFormat format);

}  // namespace scaleread
