#pragma once

#include <QString>
#include <memory>

#include "tools/scale-read/keyboard/keytyper.h"

namespace scaleread {

// The desktop's keyboard for this session: X11 where $DISPLAY is set, else the Wayland portal;
// nullptr with one line in `error` where there is no desktop or it refuses.
std::unique_ptr<KeyTyper> openDesktopKeyboard(QString& error);

}  // namespace scaleread
