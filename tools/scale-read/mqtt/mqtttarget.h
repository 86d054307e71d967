#pragma once

#include <QString>
#include <optional>

namespace scaleread {

// The broker and how to publish to it.
struct MqttTarget {
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile;    // mqtts: the certificate authority; empty: the host's trusted ones
    QString user;      // empty: no login
    QString password;  // from the environment, never from the command line
    QString prefix = QStringLiteral("scale-readout");
    int queueLimit = 10'000;  // stable records kept per station while the broker is away
    // Zero and tare from the broker's command topic; off unless asked for.
    bool commandsAllowed = false;
};

// Reads "mqtt://host[:port]" or "mqtts://host[:port]" into `target`; an error text otherwise.
std::optional<QString> parseMqttUrl(const QString& url, MqttTarget& target);

// What is wrong with `path` as --mqtt-ca: missing, not a file, unreadable, or without a PEM
// certificate; nothing when it is fine.
std::optional<QString> caFileProblem(const QString& path);

// A station name as a topic level: letters, digits, "_", "-" and "." only.
bool isTopicLevel(const QString& name);

}  // namespace scaleread
