#pragma once

#include <QString>
#include <functional>

#include "tools/scale-read/engine/stationengine.h"

namespace scaleread {

// The engine's host on this machine: each station's serial port (a ComN among the links in
// `portsFolder`, a device path, or a network line), Qt's timers, and `clock`, which must outlive
// the engine.
EngineHost systemHost(const QString& portsFolder, const Clock& clock,
                      std::function<void(const QString&)> note, std::function<void(int)> end);

}  // namespace scaleread
