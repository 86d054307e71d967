#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <optional>

class QEventLoop;

namespace scaleread {

// The desktop portal's way of answering (org.freedesktop.portal.Request): a method call returns
// at once, and its results come later in a Response signal. One of these per connection, so that
// the handle tokens of all the portal's interfaces differ.
class PortalRequests : public QObject {
    Q_OBJECT

public:
    // Waits up to `waitMillis` for each answer (a first start shows the user a dialog).
    PortalRequests(QDBusConnection bus, int waitMillis);

    QDBusConnection& bus() { return m_bus; }
    int waitMillis() const { return m_waitMillis; }

    // Calls `method` of the portal's `interface` with `arguments` and `options` (its handle
    // token added), and waits for the Response: its results, or false with `error`. A user who
    // cancelled is told as "`refusedWhat` was not allowed (Method cancelled)".
    bool request(const QString& interface, const QString& method, QVariantList arguments,
                 QVariantMap options, const QString& refusedWhat, QVariantMap& results,
                 QString& error);

private slots:
    void response(uint code, const QVariantMap& results);

private:
    QDBusConnection m_bus;
    int m_waitMillis;
    int m_requests = 0;
    std::optional<uint> m_code;
    QVariantMap m_results;
    QEventLoop* m_waiting = nullptr;
};

// Where the desktop portal is on the session bus.
inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

}  // namespace scaleread
