#include "tools/scale-read/engine/systemhost.h"

#include "app/serial/qtserialcontrol.h"
#include "app/timers/qttimercontrol.h"

namespace scaleread {

EngineHost systemHost(const QString& portsFolder, const Clock& clock,
                      std::function<void(const QString&)> note, std::function<void(int)> end) {
    return EngineHost{[portsFolder](const StationConfig& config) {
                          auto port = std::make_unique<scale::QtSerialControl>(portsFolder);
                          if (!config.devicePath.isEmpty()) {
                              port->setFixedDevice(config.devicePath);
                          }
                          return std::unique_ptr<scale::SerialControl>(std::move(port));
                      },
                      [] { return std::make_unique<scale::QtTimerControl>(); }, clock,
                      std::move(note), std::move(end)};
}

}  // namespace scaleread
