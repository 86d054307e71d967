// Listing the host's serial devices in "ComN" order.
#include <cstdio>

#include "app/serial/qtserialcontrol.h"
#include "tools/scale-read/ports/portlisting.h"
#include "tools/scale-read/runs/runs.h"

namespace scaleread {

int listHostPorts(const ReaderOptions& options) {
    const std::vector<PortEntry> entries = listPorts(scale::hostSerialPorts(), portsFolder());
    if (entries.empty()) {
        note(QStringLiteral("no serial ports on this host and no links in %1").arg(portsFolder()));
    }
    for (const PortEntry& entry : entries) {
        std::printf("%s\n", portLine(entry, options.format).toUtf8().constData());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace scaleread
