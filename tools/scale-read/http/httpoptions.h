#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <variant>

namespace scaleread {

// How the HTTP service listens and whom it lets in.
struct HttpSettings {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;     // 0: any free port, named on standard error
    QByteArray token;     // empty: none asked for, which only a loopback address allows
    QStringList origins;  // pages of other origins that may call, e.g. "https://erp.plant.lan"
    int maxClients = 64;  // WebSocket clients at once
    bool allowCommands = false;
    QString tokenFileWarning;  // said once at start when others than its owner can read it
};

// The values of --http, --http-token-file, --http-origin, --http-max-clients (empty when not
// given) and --allow-commands, checked; or the command-line error.
std::variant<HttpSettings, QString> parseHttpSettings(const QString& listen,
                                                      const QString& tokenFile,
                                                      const QStringList& origins,
                                                      const QString& maxClients,
                                                      bool allowCommands);

}  // namespace scaleread
