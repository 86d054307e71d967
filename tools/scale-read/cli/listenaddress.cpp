#include "tools/scale-read/cli/listenaddress.h"

#include <QRegularExpression>

namespace scaleread {

std::optional<QString> parseListenAddress(const QString& option, const QString& text,
                                          const QString& examplePort, QHostAddress& address,
                                          quint16& port) {
    // A bare IPv6 address needs its brackets, as in a URL.
    static const QRegularExpression form(
        QStringLiteral("^(?:(?:\\[([0-9A-Fa-f:.]+)\\]|([^:\\[\\]]+)):)?([0-9]{1,5})$"));
    const auto match = form.match(text);
    if (!match.hasMatch()) {
        return QStringLiteral("%1 '%2' is not [ADDR:]PORT such as %3, 0.0.0.0:%3 or [::1]:%3")
            .arg(option, text, examplePort);
    }
    const uint number = match.captured(3).toUInt();
    if (number > 65535) {
        return QStringLiteral("%1 '%2': the port goes from 1 to 65535 (0: any free port)")
            .arg(option, text);
    }
    port = static_cast<quint16>(number);
    const QString host = match.hasCaptured(1) ? match.captured(1) : match.captured(2);
    if (host.isEmpty()) {
        return std::nullopt;
    }
    if (host == QLatin1String("localhost")) {
        address = QHostAddress(QHostAddress::LocalHost);
        return std::nullopt;
    }
    if (!address.setAddress(host) ||
        (match.hasCaptured(1) != (address.protocol() == QAbstractSocket::IPv6Protocol))) {
        return QStringLiteral("%1 '%2': '%3' is not an IP address of this host (IPv6 in "
                              "brackets)")
            .arg(option, text, host);
    }
    return std::nullopt;
}

}  // namespace scaleread
