#include "tools/scale-read/mqtt/mqtttarget.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace scaleread {

std::optional<QString> parseMqttUrl(const QString& url, MqttTarget& target) {
    static const QRegularExpression form(
        QStringLiteral("^(mqtts?)://(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9_.-]+)(?::([0-9]{1,5}))?/?$"));
    const auto match = form.match(url);
    if (!match.hasMatch()) {
        return QStringLiteral("--mqtt '%1' is not mqtt://host[:port] or mqtts://host[:port]")
            .arg(url);
    }
    target.tls = match.captured(1) == QLatin1String("mqtts");
    target.host = match.captured(2);
    if (target.host.startsWith(QLatin1Char('['))) {
        target.host = target.host.mid(1, target.host.size() - 2);
    }
    target.port = target.tls ? 8883 : 1883;
    if (match.hasCaptured(3)) {
        target.port = match.captured(3).toInt();
        if (target.port < 1 || target.port > 65535) {
            return QStringLiteral("--mqtt '%1': the port goes from 1 to 65535").arg(url);
        }
    }
    return std::nullopt;
}

std::optional<QString> caFileProblem(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("--mqtt-ca %1: no such file").arg(path);
    }
    if (!info.isFile()) {
        return QStringLiteral("--mqtt-ca %1: not a file").arg(path);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("--mqtt-ca %1: cannot be read (%2)")
            .arg(path, file.errorString().toLower());
    }
    // A CA bundle is small; the first megabyte holds a certificate if the file is one.
    if (!file.read(1 << 20).contains("-----BEGIN CERTIFICATE-----")) {
        return QStringLiteral("--mqtt-ca %1: holds no PEM certificate").arg(path);
    }
    return std::nullopt;
}

bool isTopicLevel(const QString& name) {
    static const QRegularExpression level(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    return level.match(name).hasMatch();
}

}  // namespace scaleread
