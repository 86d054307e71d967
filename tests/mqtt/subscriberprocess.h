#pragma once

#include <QProcess>
#include <QStringList>
#include <vector>

namespace scale::test {

// mosquitto_sub on the test's broker, its messages collected as they come.
class SubscriberProcess {
public:
    struct Message {
        bool retained = false;
        QString topic;
        QString payload;
    };

    // Subscribes to `topic` at QoS 1. With `session`, as that client id with a session that
    // outlives its connection, so that what is published while it is away is kept for it.
    // `more`: further options of mosquitto_sub (TLS, a login).
    bool start(int port, const QString& topic, const QString& session = {},
               const QStringList& more = {});
    ~SubscriberProcess();

    // The messages so far, in order of arrival.
    const std::vector<Message>& messages();
    // Waits until a message satisfies `match`, within `milliseconds`.
    bool waitFor(const std::function<bool(const Message&)>& match, int milliseconds);
    // The payloads received on `topic` so far.
    QStringList payloads(const QString& topic, bool withRetained = true);
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QByteArray m_pending;
    std::vector<Message> m_messages;
};

}  // namespace scale::test
