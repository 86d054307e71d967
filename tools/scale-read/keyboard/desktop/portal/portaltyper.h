#pragma once

#include <QDBusConnection>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "tools/scale-read/keyboard/desktop/keytyper.h"
#include "tools/scale-read/keyboard/desktop/portal/portalrequests.h"
#include "tools/scale-read/keyboard/desktop/portal/portalshortcuts.h"

namespace scaleread {

// Typing on a Wayland desktop through its portal (org.freedesktop.portal.RemoteDesktop): a
// session with a keyboard device, asked for once and then restored with the token the portal
// gave (kept in a file of the settings folder), each character sent as its keysym, which the
// desktop turns into keys of its own layout. A portal cannot say which window has the focus.
// The hotkey is one of the portal's global shortcuts, where the desktop offers them.
class PortalTyper : public KeyTyper {
public:
    // The session on the session bus, waiting up to `waitMillis` for each of the portal's
    // answers (the first start shows the user a dialog); nullptr with `error` set where there
    // is no portal, it has no RemoteDesktop keyboard, or the user or the desktop refuses.
    static std::unique_ptr<PortalTyper> open(const QString& tokenPath, QString& error,
                                             int waitMillis = 120'000);

    QString name() const override {
        return QStringLiteral("the Wayland desktop portal (RemoteDesktop)");
    }
    bool knowsFocus() const override { return false; }
    std::optional<FocusedWindow> focusedWindow() override { return std::nullopt; }
    bool type(const TypeStep& step, QString& error) override;
    bool grabHotkey(const QString& key, std::function<void()> pressed, QString& error) override;
    QString hotkeyNote() const override;

private:
    PortalTyper(QDBusConnection bus, QString tokenPath, int waitMillis);
    bool start(QString& error);
    // Calls the RemoteDesktop `method` and waits for its results.
    bool request(const QString& method, QVariantList arguments, QVariantMap options,
                 QVariantMap& results, QString& error);

    PortalRequests m_requests;
    QString m_tokenPath;
    QString m_session;  // the session's object path
    std::unique_ptr<PortalShortcuts> m_shortcuts;
};

}  // namespace scaleread
