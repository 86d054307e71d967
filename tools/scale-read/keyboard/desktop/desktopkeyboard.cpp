#include "tools/scale-read/keyboard/desktop/desktopkeyboard.h"

#include "tools/scale-read/keyboard/desktop/portal/portaltyper.h"
#include "tools/scale-read/keyboard/desktop/x11typer.h"

namespace scaleread {

std::unique_ptr<KeyTyper> openDesktopKeyboard(const QString& settingsFolder, QString& error) {
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        // XTEST under XWayland reaches X programs only: the portal first, X11 where it is not.
        QString portalError;
        if (auto portal = PortalTyper::open(settingsFolder + QStringLiteral("/portal-restore-token"),
                                            portalError)) {
            return portal;
        }
        if (!x11) {
            error = portalError;
            return nullptr;
        }
    }
    if (x11) {
        return X11Typer::open(error);
    }
    error = QStringLiteral("--type needs a desktop: neither DISPLAY nor WAYLAND_DISPLAY is set");
    return nullptr;
}

}  // namespace scaleread
