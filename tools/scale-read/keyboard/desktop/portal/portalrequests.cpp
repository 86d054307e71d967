#include "tools/scale-read/keyboard/desktop/portal/portalrequests.h"

#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>

namespace scaleread {

PortalRequests::PortalRequests(QDBusConnection bus, int waitMillis)
    : m_bus(std::move(bus)), m_waitMillis(waitMillis) {}

bool PortalRequests::request(const QString& interface, const QString& method,
                             QVariantList arguments, QVariantMap options,
                             const QString& refusedWhat, QVariantMap& results, QString& error) {
    // The portal answers on a request object whose path the caller can tell beforehand: listen
    // there before calling, so that no answer comes unheard.
    const QString token = QStringLiteral("scaleread%1").arg(++m_requests);
    options.insert(QStringLiteral("handle_token"), token);
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
    (void)m_bus.connect(kPortalService, path, requestInterface, QStringLiteral("Response"), this,
                        SLOT(response(uint, QVariantMap)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    arguments.append(options);
    call.setArguments(arguments);
    m_code.reset();
    const QDBusMessage reply = m_bus.call(call);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        (void)m_bus.disconnect(kPortalService, path, requestInterface, QStringLiteral("Response"),
                               this, SLOT(response(uint, QVariantMap)));
        error =
            QStringLiteral("the desktop portal refused %1: %2").arg(method, reply.errorMessage());
        return false;
    }
    if (!m_code) {
        QEventLoop loop;
        m_waiting = &loop;
        QTimer::singleShot(m_waitMillis, &loop, &QEventLoop::quit);
        loop.exec();
        m_waiting = nullptr;
    }
    (void)m_bus.disconnect(kPortalService, path, requestInterface, QStringLiteral("Response"), this,
                           SLOT(response(uint, QVariantMap)));
    if (!m_code) {
        error = QStringLiteral("the desktop portal did not answer %1 within %2 s")
                    .arg(method)
                    .arg(m_waitMillis / 1000);
        return false;
    }
    if (*m_code != 0) {
        error = *m_code == 1
                    ? QStringLiteral("%1 was not allowed (%2 cancelled)").arg(refusedWhat, method)
                    : QStringLiteral("the desktop portal refused %1").arg(method);
        return false;
    }
    results = m_results;
    return true;
}

void PortalRequests::response(uint code, const QVariantMap& results) {
    m_code = code;
    m_results = results;
    if (m_waiting != nullptr) {
        m_waiting->quit();
    }
}

}  // namespace scaleread
