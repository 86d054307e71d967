#include "tools/scale-read/keyboard/portaltyper.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include "tools/scale-read/keyboard/keysyms.h"

namespace scaleread {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint kKeyboard = 1;
constexpr uint kPersistUntilRevoked = 2;

}  // namespace

PortalTyper::PortalTyper(QDBusConnection bus, QString tokenPath, int waitMillis)
    : m_bus(std::move(bus)), m_tokenPath(std::move(tokenPath)), m_waitMillis(waitMillis) {}

std::unique_ptr<PortalTyper> PortalTyper::open(const QString& tokenPath, QString& error,
                                               int waitMillis) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("--type on Wayland needs the desktop portal, but there is no "
                               "session bus: %1")
                    .arg(bus.lastError().message());
        return nullptr;
    }
    auto typer = std::unique_ptr<PortalTyper>(new PortalTyper(bus, tokenPath, waitMillis));
    if (!typer->start(error)) {
        return nullptr;
    }
    return typer;
}

bool PortalTyper::start(QString& error) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kRemoteDesktop << QStringLiteral("AvailableDeviceTypes");
    const QDBusMessage types = m_bus.call(get);
    if (types.type() != QDBusMessage::ReplyMessage ||
        (types.arguments().value(0).value<QDBusVariant>().variant().toUInt() & kKeyboard) == 0) {
        error = QStringLiteral("--type on Wayland needs the desktop portal's RemoteDesktop "
                               "keyboard, which this desktop does not offer%1")
                    .arg(types.type() == QDBusMessage::ErrorMessage
                             ? QStringLiteral(" (%1)").arg(types.errorMessage())
                             : QString());
        return false;
    }
    QVariantMap results;
    if (!request(QStringLiteral("CreateSession"), {},
                 {{QStringLiteral("session_handle_token"), QStringLiteral("scaleread")}}, results,
                 error)) {
        return false;
    }
    m_session = results.value(QStringLiteral("session_handle")).toString();
    const QDBusObjectPath session(m_session);
    QVariantMap select{{QStringLiteral("types"), QVariant::fromValue(kKeyboard)},
                       {QStringLiteral("persist_mode"), QVariant::fromValue(kPersistUntilRevoked)}};
    // The token of the last session: the desktop restores it without asking the user again.
    QFile stored(m_tokenPath);
    if (stored.open(QIODevice::ReadOnly)) {
        const QString token = QString::fromUtf8(stored.read(4096)).trimmed();
        if (!token.isEmpty()) {
            select.insert(QStringLiteral("restore_token"), token);
        }
    }
    if (!request(QStringLiteral("SelectDevices"), {QVariant::fromValue(session)}, select, results,
                 error) ||
        !request(QStringLiteral("Start"), {QVariant::fromValue(session), QString()}, {}, results,
                 error)) {
        return false;
    }
    if ((results.value(QStringLiteral("devices")).toUInt() & kKeyboard) == 0) {
        error = QStringLiteral("the desktop portal gave no keyboard to type with");
        return false;
    }
    const QString token = results.value(QStringLiteral("restore_token")).toString();
    if (!token.isEmpty()) {
        (void)QDir().mkpath(QFileInfo(m_tokenPath).absolutePath());
        QSaveFile file(m_tokenPath);
        if (file.open(QIODevice::WriteOnly)) {
            (void)file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            file.write(token.toUtf8() + '\n');
            (void)file.commit();
        }
    }
    return true;
}

bool PortalTyper::request(const QString& method, QVariantList arguments, QVariantMap options,
                          QVariantMap& results, QString& error) {
    // The portal answers on a request object whose path the caller can tell beforehand: listen
    // there before calling, so that no answer comes unheard.
    const QString token = QStringLiteral("scaleread%1").arg(++m_requests);
    options.insert(QStringLiteral("handle_token"), token);
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
    (void)m_bus.connect(kService, path, requestInterface, QStringLiteral("Response"), this,
                        SLOT(response(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktop, method);
    arguments.append(options);
    call.setArguments(arguments);
    m_code.reset();
    const QDBusMessage reply = m_bus.call(call);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        (void)m_bus.disconnect(kService, path, requestInterface, QStringLiteral("Response"), this,
                               SLOT(response(uint, QVariantMap)));
        error = QStringLiteral("the desktop portal refused %1: %2").arg(method, reply.errorMessage());
        return false;
    }
    if (!m_code) {
        QEventLoop loop;
        m_waiting = &loop;
        QTimer::singleShot(m_waitMillis, &loop, &QEventLoop::quit);
        loop.exec();
        m_waiting = nullptr;
    }
    (void)m_bus.disconnect(kService, path, requestInterface, QStringLiteral("Response"), this,
                           SLOT(response(uint, QVariantMap)));
    if (!m_code) {
        error = QStringLiteral("the desktop portal did not answer %1 within %2 s")
                    .arg(method)
                    .arg(m_waitMillis / 1000);
        return false;
    }
    if (*m_code != 0) {
        error = *m_code == 1 ? QStringLiteral("typing on this desktop was not allowed (%1 "
                                              "cancelled)")
                                   .arg(method)
                             : QStringLiteral("the desktop portal refused %1").arg(method);
        return false;
    }
    results = m_results;
    return true;
}

void PortalTyper::response(uint code, const QVariantMap& results) {
    m_code = code;
    m_results = results;
    if (m_waiting != nullptr) {
        m_waiting->quit();
    }
}

bool PortalTyper::type(const TypeStep& step, QString& error) {
    for (const std::uint32_t keysym : keysymsOf(step)) {
        for (const uint state : {1U, 0U}) {  // pressed, released
            QDBusMessage call = QDBusMessage::createMethodCall(
                kService, kPath, kRemoteDesktop, QStringLiteral("NotifyKeyboardKeysym"));
            call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap()
                 << static_cast<int>(keysym) << state;
            const QDBusMessage reply = m_bus.call(call);
            if (reply.type() == QDBusMessage::ErrorMessage) {
                error = QStringLiteral("the desktop portal refused a key: %1")
                            .arg(reply.errorMessage());
                return false;
            }
        }
    }
    return true;
}

bool PortalTyper::grabHotkey(const QString& key, std::function<void()> pressed, QString& error) {
    (void)pressed;
    error = QStringLiteral("--type-hotkey %1: hotkeys on Wayland are not taken yet; use "
                           "--type-on settle or print")
                .arg(key);
    return false;
}

}  // namespace scaleread
