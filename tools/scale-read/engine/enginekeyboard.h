#pragma once

#include <QString>
#include <memory>

#include "tools/scale-read/engine/stationengine.h"
#include "tools/scale-read/keyboard/keyboardrun.h"

namespace scaleread {

// The desktop's keyboard for the engine's stations: each value it types becomes a record to the
// engine's outlets, and the remote buttons (HTTP, MQTT) reach it through the engine. Null, with a
// note given, where there is no desktop or it refuses. The caller adds it to the engine as an
// outlet, after those that should see a frame's record before the value typed from it.
std::unique_ptr<KeyboardRun> startKeyboard(const TypeSettings& settings, StationEngine& engine,
                                           const Clock& clock, const KeyboardRun::Note& note,
                                           const QString& settingsFolder);

}  // namespace scaleread
