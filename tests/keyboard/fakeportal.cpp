// A desktop portal of our own for the typing tests: org.freedesktop.portal.RemoteDesktop and
// GlobalShortcuts on the session bus it is given, answering each request at once as a desktop
// whose user allows it, and writing every call to a file, one line each. "fake-portal LOG"
// allows; "fake-portal LOG cancel" answers Start as a user who cancelled the dialog;
// "fake-portal LOG noshortcuts" is a portal without GlobalShortcuts. The test presses the bound
// shortcut by calling Press (interface test.FakePortal) on the portal's object. Says "ready"
// once on the bus.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "tools/scale-read/keyboard/desktop/portal/portalshortcut.h"

using scaleread::PortalShortcut;

namespace {

class Portal : public QDBusVirtualObject {
public:
    Portal(const QString& log, const QString& mode)
        : m_log(log),
          m_cancel(mode == QLatin1String("cancel")),
          m_shortcuts(mode != QLatin1String("noshortcuts")) {
        (void)m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        QDBusConnection bus = connection;
        const bool shortcuts = message.interface() == kGlobalShortcuts;
        if (member == QLatin1String("Get")) {
            const bool forShortcuts = args.value(0).toString() == kGlobalShortcuts;
            if (forShortcuts && !m_shortcuts) {
                bus.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                    QStringLiteral("No such interface")));
                return true;
            }
            // RemoteDesktop's AvailableDeviceTypes: a keyboard; GlobalShortcuts' version 1.
            bus.send(
                message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(1U)))));
            return true;
        }
        if (shortcuts && !m_shortcuts) {
            bus.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                         QStringLiteral("No such interface")));
            return true;
        }
        if (member == QLatin1String("Press")) {
            write(QStringLiteral("Press"));
            for (const char* name : {"Activated", "Deactivated"}) {
                QDBusMessage signal =
                    QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                               kGlobalShortcuts, QLatin1String(name));
                signal << QVariant::fromValue(QDBusObjectPath(m_shortcutSession))
                       << QStringLiteral("type-weight") << qulonglong{1000} << QVariantMap();
                bus.send(signal);
            }
            bus.send(message.createReply());
            return true;
        }
        if (member == QLatin1String("NotifyKeyboardKeysym")) {
            write(QStringLiteral("key %1 %2")
                      .arg(args.value(2).toInt(), 0, 16)
                      .arg(args.value(3).toUInt()));
            bus.send(message.createReply());
            return true;
        }
        const QVariantMap options =
            args.isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(args.last());
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        uint code = 0;
        QVariantMap results;
        if (shortcuts && member == QLatin1String("CreateSession")) {
            write(QStringLiteral("GlobalShortcuts.CreateSession"));
            m_shortcutSession =
                QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                    .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
            results.insert(QStringLiteral("session_handle"), m_shortcutSession);
        } else if (shortcuts && member == QLatin1String("BindShortcuts")) {
            const auto wanted = qdbus_cast<QList<PortalShortcut>>(args.value(1));
            QList<PortalShortcut> bound;
            for (const PortalShortcut& shortcut : wanted) {
                write(QStringLiteral(
                          "BindShortcuts %1 description='%2' preferred_trigger=%3 session=%4")
                          .arg(shortcut.id,
                               shortcut.properties.value(QStringLiteral("description")).toString(),
                               shortcut.properties.value(QStringLiteral("preferred_trigger"))
                                   .toString(),
                               args.value(0).value<QDBusObjectPath>().path().section(
                                   QLatin1Char('/'), -1)));
                bound.append(
                    {shortcut.id,
                     {{QStringLiteral("trigger_description"), QStringLiteral("Ctrl+Alt+W")}}});
            }
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(bound));
        } else if (member == QLatin1String("CreateSession")) {
            write(QStringLiteral("CreateSession"));
            results.insert(
                QStringLiteral("session_handle"),
                QStringLiteral("/org/freedesktop/portal/desktop/session/%1/s").arg(sender));
        } else if (member == QLatin1String("SelectDevices")) {
            write(QStringLiteral("SelectDevices types=%1 persist_mode=%2 restore_token=%3")
                      .arg(options.value(QStringLiteral("types")).toUInt())
                      .arg(options.value(QStringLiteral("persist_mode")).toUInt())
                      .arg(options.value(QStringLiteral("restore_token")).toString()));
        } else if (member == QLatin1String("Start")) {
            write(QStringLiteral("Start"));
            code = m_cancel ? 1 : 0;
            results.insert(QStringLiteral("devices"), QVariant::fromValue(1U));
            results.insert(QStringLiteral("restore_token"), QStringLiteral("token-1"));
        } else {
            return false;
        }
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        // The answer comes later, as a signal on the request, as a real portal's does.
        QTimer::singleShot(10, [bus, request, code, results]() mutable {
            QDBusMessage response = QDBusMessage::createSignal(
                request, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"));
            response << code << results;
            bus.send(response);
        });
        return true;
    }

private:
    void write(const QString& line) { (void)m_log.write((line + QLatin1Char('\n')).toUtf8()); }

    const QString kGlobalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
    QFile m_log;
    bool m_cancel;
    bool m_shortcuts;
    QString m_shortcutSession;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: fake-portal LOG [cancel|noshortcuts]\n");
        return 2;
    }
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    Portal portal(args[1], args.value(2));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake-portal: cannot take the portal's name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
