#include "tools/scale-read/http/httpoptions.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include "tools/scale-read/cli/listenaddress.h"

namespace scaleread {
namespace {

// A token file is one short line; anything larger is not one.
constexpr qint64 kTokenFileLimit = 4096;
constexpr int kShortestToken = 16;
constexpr int kMostClients = 4096;

std::optional<QString> readToken(const QString& path, QByteArray& token) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("--http-token-file %1: %2").arg(path, file.errorString());
    }
    const QByteArray content = file.read(kTokenFileLimit + 1);
    if (content.size() > kTokenFileLimit) {
        return QStringLiteral("--http-token-file %1: a token file holds one line").arg(path);
    }
    token = content.trimmed();
    static const QRegularExpression visible(QStringLiteral("^[\\x21-\\x7E]+$"));
    if (token.size() < kShortestToken || !visible.match(QString::fromLatin1(token)).hasMatch()) {
        return QStringLiteral("--http-token-file %1: the token must be one line of at least %2 "
                              "visible characters without spaces (e.g. openssl rand -hex 32)")
            .arg(path)
            .arg(kShortestToken);
    }
    return std::nullopt;
}

}  // namespace

std::variant<HttpSettings, QString> parseHttpSettings(const QString& listen,
                                                      const QString& tokenFile,
                                                      const QStringList& origins,
                                                      const QString& maxClients,
                                                      bool allowCommands) {
    HttpSettings settings;
    settings.allowCommands = allowCommands;
    if (!maxClients.isEmpty()) {
        bool ok = false;
        settings.maxClients = maxClients.toInt(&ok);
        if (!ok || settings.maxClients < 1 || settings.maxClients > kMostClients ||
            !maxClients.front().isDigit()) {
            return QStringLiteral("--http-max-clients wants a whole number from 1 to %1, not '%2'")
                .arg(kMostClients)
                .arg(maxClients);
        }
    }
    if (auto refused = parseListenAddress(QStringLiteral("--http"), listen, QStringLiteral("8080"),
                                           settings.address, settings.port)) {
        return *refused;
    }
    if (!tokenFile.isEmpty()) {
        if (auto refused = readToken(tokenFile, settings.token)) {
            return *refused;
        }
        if (QFile(tokenFile).permissions() &
            (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
             QFileDevice::WriteOther)) {
            settings.tokenFileWarning =
                QStringLiteral("warning: --http-token-file %1 can be read or changed by others "
                               "than its owner (chmod 600 %1)")
                    .arg(tokenFile);
        }
    } else if (!settings.address.isLoopback()) {
        return QStringLiteral("--http %1 is reachable from other machines; give "
                              "--http-token-file FILE")
            .arg(listen);
    }
    for (const QString& origin : origins) {
        const QUrl url(origin, QUrl::StrictMode);
        const bool plain = url.isValid() && !url.host().isEmpty() &&
                           (url.scheme() == QLatin1String("http") ||
                            url.scheme() == QLatin1String("https")) &&
                           url.userInfo().isEmpty() && url.path().isEmpty() && !url.hasQuery() &&
                           !url.hasFragment();
        if (!plain) {
            return QStringLiteral("--http-origin '%1' is not scheme://host[:port] such as "
                                  "https://erp.plant.lan")
                .arg(origin);
        }
        settings.origins.append(url.toString(QUrl::FullyEncoded));
    }
    return settings;
}

}  // namespace scaleread
