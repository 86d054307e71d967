#include "tools/scale-read/keyboard/desktopkeyboard.h"

#include "tools/scale-read/keyboard/x11typer.h"

namespace scaleread {

std::unique_ptr<KeyTyper> openDesktopKeyboard(QString& error) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        return X11Typer::open(error);
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        error = QStringLiteral("--type on Wayland needs an X display ($DISPLAY, XWayland) for "
                               "now; the desktop portal is not used yet");
        return nullptr;
    }
    error = QStringLiteral("--type needs a desktop: neither DISPLAY nor WAYLAND_DISPLAY is set");
    return nullptr;
}

}  // namespace scaleread
