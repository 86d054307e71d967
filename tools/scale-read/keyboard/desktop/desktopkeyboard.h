#pragma once

#include <QString>
#include <memory>

#include "tools/scale-read/keyboard/desktop/keytyper.h"

namespace scaleread {

// The desktop's keyboard for this session: the Wayland portal where $WAYLAND_DISPLAY is set and
// the desktop offers it, else X11 where $DISPLAY is set (XWayland too); nullptr with one line in
// `error` where there is no desktop or it refuses. The portal's restore token is kept in
// `settingsFolder`.
std::unique_ptr<KeyTyper> openDesktopKeyboard(const QString& settingsFolder, QString& error);

}  // namespace scaleread
