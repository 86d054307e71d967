#pragma once

#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace scaleread {

class PortalRequests;

// The hotkey on a Wayland desktop: one shortcut bound through the portal's GlobalShortcuts
// (org.freedesktop.portal.GlobalShortcuts), with --type-hotkey as the trigger asked for. The
// desktop has the last word on the keys; what it bound is told in `bound()`.
class PortalShortcuts : public QObject {
    Q_OBJECT

public:
    // nullptr, with `error` in one line, for an unknown key name, a portal without global
    // shortcuts, or a desktop or user that refuses the binding. `pressed` is called for each
    // press, once its keys are up.
    static std::unique_ptr<PortalShortcuts> bind(PortalRequests& requests, const QString& key,
                                                 std::function<void()> pressed, QString& error);

    // What the desktop says triggers it ("Ctrl+Alt+W"); empty where it did not say.
    const QString& bound() const { return m_bound; }

private slots:
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);
    void deactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

private:
    PortalShortcuts(PortalRequests& requests, std::function<void()> pressed);
    bool ours(const QDBusObjectPath& session, const QString& id) const;
    void fire();

    PortalRequests& m_requests;
    std::function<void()> m_pressed;
    QString m_session;
    QString m_bound;
    // A press waiting for its keys to come up; a desktop that never says so is given this long.
    QTimer m_release;
};

}  // namespace scaleread
