#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "tools/scale-read/keyboard/keytyper.h"

class QEventLoop;

namespace scaleread {

// Typing on a Wayland desktop through its portal (org.freedesktop.portal.RemoteDesktop): a
// session with a keyboard device, asked for once and then restored with the token the portal
// gave (kept in a file of the settings folder), each character sent as its keysym, which the
// desktop turns into keys of its own layout. A portal cannot say which window has the focus.
class PortalTyper : public QObject, public KeyTyper {
    Q_OBJECT

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

private slots:
    void response(uint code, const QVariantMap& results);

private:
    PortalTyper(QDBusConnection bus, QString tokenPath, int waitMillis);
    bool start(QString& error);
    // Calls the RemoteDesktop `method` with `arguments` and `options` (its handle token added),
    // and waits for the request's Response: its results, or false with `error`.
    bool request(const QString& method, QVariantList arguments, QVariantMap options,
                 QVariantMap& results, QString& error);

    QDBusConnection m_bus;
    QString m_tokenPath;
    int m_waitMillis;
    QString m_session;  // the session's object path
    int m_requests = 0;
    std::optional<uint> m_code;
    QVariantMap m_results;
    QEventLoop* m_waiting = nullptr;
};

}  // namespace scaleread
