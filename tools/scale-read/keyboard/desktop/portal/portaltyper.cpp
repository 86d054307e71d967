#include "tools/scale-read/keyboard/desktop/portal/portaltyper.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "tools/scale-read/keyboard/desktop/keysyms.h"

namespace scaleread {
namespace {

const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint kKeyboard = 1;
constexpr uint kPersistUntilRevoked = 2;

}  // namespace

PortalTyper::PortalTyper(QDBusConnection bus, QString tokenPath, int waitMillis)
    : m_requests(std::move(bus), waitMillis), m_tokenPath(std::move(tokenPath)) {}

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
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kRemoteDesktop << QStringLiteral("AvailableDeviceTypes");
    const QDBusMessage types = m_requests.bus().call(get);
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
    return m_requests.request(kRemoteDesktop, method, std::move(arguments), std::move(options),
                              QStringLiteral("typing on this desktop"), results, error);
}

bool PortalTyper::type(const TypeStep& step, QString& error) {
    for (const std::uint32_t keysym : keysymsOf(step)) {
        for (const uint state : {1U, 0U}) {  // pressed, released
            QDBusMessage call =
                QDBusMessage::createMethodCall(kPortalService, kPortalPath, kRemoteDesktop,
                                               QStringLiteral("NotifyKeyboardKeysym"));
            call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap()
                 << static_cast<int>(keysym) << state;
            const QDBusMessage reply = m_requests.bus().call(call);
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
    m_shortcuts = PortalShortcuts::bind(m_requests, key, std::move(pressed), error);
    return m_shortcuts != nullptr;
}

QString PortalTyper::hotkeyNote() const {
    if (!m_shortcuts) {
        return {};
    }
    return m_shortcuts->bound().isEmpty()
               ? QStringLiteral("the portal's GlobalShortcuts")
               : QStringLiteral("the portal's GlobalShortcuts, bound to %1")
                     .arg(m_shortcuts->bound());
}

}  // namespace scaleread
