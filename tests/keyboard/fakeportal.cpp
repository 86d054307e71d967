// A desktop portal of our own for the typing tests: org.freedesktop.portal.RemoteDesktop on the
// session bus it is given, answering each request at once as a desktop whose user allows it,
// and writing every call to a file, one line each. "fake-portal LOG" allows; "fake-portal LOG
// cancel" answers Start as a user who cancelled the dialog. Says "ready" once on the bus.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace {

class Portal : public QDBusVirtualObject {
public:
    Portal(const QString& log, bool cancel) : m_log(log), m_cancel(cancel) {
        (void)m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        QDBusConnection bus = connection;
        if (member == QLatin1String("Get")) {
            bus.send(message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(1U)))));
            return true;
        }
        if (member == QLatin1String("NotifyKeyboardKeysym")) {
            write(QStringLiteral("key %1 %2")
                      .arg(args.value(2).toInt(), 0, 16)
                      .arg(args.value(3).toUInt()));
            bus.send(message.createReply());
            return true;
        }
        const QVariantMap options = args.isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(args.last());
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                    .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        uint code = 0;
        QVariantMap results;
        if (member == QLatin1String("CreateSession")) {
            write(QStringLiteral("CreateSession"));
            results.insert(QStringLiteral("session_handle"),
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
                request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            response << code << results;
            bus.send(response);
        });
        return true;
    }

private:
    void write(const QString& line) { (void)m_log.write((line + QLatin1Char('\n')).toUtf8()); }

    QFile m_log;
    bool m_cancel;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: fake-portal LOG [cancel]\n");
        return 2;
    }
    Portal portal(args[1], args.value(2) == QLatin1String("cancel"));
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
