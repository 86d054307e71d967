#include "tools/scale-read/keyboard/desktop/portal/portalshortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

#include "tools/scale-read/keyboard/desktop/hotkeyname.h"
#include "tools/scale-read/keyboard/desktop/portal/portalrequests.h"
#include "tools/scale-read/keyboard/desktop/portal/portalshortcut.h"

namespace scaleread {
namespace {

const QString kGlobalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kShortcutId = QStringLiteral("type-weight");
constexpr int kReleaseMillis = 1000;

QString noShortcuts() {
    return QStringLiteral(
        "--type-on hotkey: this desktop offers no global shortcuts (no "
        "GlobalShortcuts in its portal); use --type-on settle or print");
}

}  // namespace

PortalShortcuts::PortalShortcuts(PortalRequests& requests, std::function<void()> pressed)
    : m_requests(requests), m_pressed(std::move(pressed)) {
    m_release.setSingleShot(true);
    m_release.setInterval(kReleaseMillis);
    connect(&m_release, &QTimer::timeout, this, &PortalShortcuts::fire);
}

std::unique_ptr<PortalShortcuts> PortalShortcuts::bind(PortalRequests& requests, const QString& key,
                                                       std::function<void()> pressed,
                                                       QString& error) {
    const auto hotkey = parseHotkey(key, error);
    if (!hotkey) {
        return nullptr;
    }
    QDBusConnection& bus = requests.bus();
    // A portal without the interface has no version of it to tell.
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kGlobalShortcuts << QStringLiteral("version");
    const QDBusMessage version = bus.call(get);
    if (version.type() != QDBusMessage::ReplyMessage ||
        version.arguments().value(0).value<QDBusVariant>().variant().toUInt() == 0) {
        error = noShortcuts();
        return nullptr;
    }
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    auto shortcuts =
        std::unique_ptr<PortalShortcuts>(new PortalShortcuts(requests, std::move(pressed)));
    const QString refused = QStringLiteral("the hotkey %1 on this desktop").arg(key);
    QVariantMap results;
    if (!requests.request(
            kGlobalShortcuts, QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("scalereadkeys")}}, refused,
            results, error)) {
        return nullptr;
    }
    shortcuts->m_session = results.value(QStringLiteral("session_handle")).toString();
    // Listening before binding: a desktop may report a press as soon as it has bound the keys.
    for (const char* signal : {"Activated", "Deactivated"}) {
        const bool activated = qstrcmp(signal, "Activated") == 0;
        (void)bus.connect(
            kPortalService, kPortalPath, kGlobalShortcuts, QLatin1String(signal), shortcuts.get(),
            activated ? SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap))
                      : SLOT(deactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    }
    const QList<PortalShortcut> wanted{
        {kShortcutId,
         {{QStringLiteral("description"), QStringLiteral("Type the weight standing now")},
          {QStringLiteral("preferred_trigger"), shortcutTrigger(*hotkey)}}}};
    if (!requests.request(kGlobalShortcuts, QStringLiteral("BindShortcuts"),
                          {QVariant::fromValue(QDBusObjectPath(shortcuts->m_session)),
                           QVariant::fromValue(wanted), QString()},
                          {}, refused, results, error)) {
        return nullptr;
    }
    // What the desktop bound: our shortcut, with the keys it chose for it (or none of it, where
    // the user left it unbound).
    const auto bound =
        qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts")));
    for (const PortalShortcut& shortcut : bound) {
        if (shortcut.id == kShortcutId) {
            shortcuts->m_bound =
                shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        }
    }
    return shortcuts;
}

bool PortalShortcuts::ours(const QDBusObjectPath& session, const QString& id) const {
    return session.path() == m_session && id == kShortcutId;
}

void PortalShortcuts::activated(const QDBusObjectPath& session, const QString& id,
                                qulonglong timestamp, const QVariantMap& options) {
    (void)timestamp;
    (void)options;
    // Typed keys while the hotkey's own are held would reach the window as shortcuts: the press
    // counts when its keys are up again, as the X11 grab's does.
    if (ours(session, id)) {
        m_release.start();
    }
}

void PortalShortcuts::deactivated(const QDBusObjectPath& session, const QString& id,
                                  qulonglong timestamp, const QVariantMap& options) {
    (void)timestamp;
    (void)options;
    if (ours(session, id) && m_release.isActive()) {
        fire();
    }
}

void PortalShortcuts::fire() {
    m_release.stop();
    m_pressed();
}

}  // namespace scaleread
