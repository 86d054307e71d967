#include "tools/scale-read/mqtt/mqttstation.h"

#include <mosquitto.h>
#include <unistd.h>

#include <QFile>

#include "tools/scale-read/mqtt/commandpayload.h"

namespace scaleread {
namespace {

// Host and station say to the broker's log who it is; the key, that no other client can take
// its id and so keep pushing it off.
std::string clientId(const QString& station, const std::string& key) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return "scale-read-" + std::string(host) + "-" + station.toStdString() + "-" + key;
}

}  // namespace

MqttStation::MqttStation(const MqttTarget& target, QString station, const std::string& clientKey,
                         BrokerNotes& brokerNotes, Note note)
    : m_target(target),
      m_station(std::move(station)),
      m_brokerNotes(brokerNotes),
      m_note(std::move(note)),
      m_clientId(clientId(m_station, clientKey)),
      m_queue(static_cast<std::size_t>(target.queueLimit)) {
    const std::string base = m_target.prefix.toStdString() + "/" + m_station.toStdString() + "/";
    m_readingTopic = base + "reading";
    m_stableTopic = base + "stable";
    m_statusTopic = base + "status";
    m_commandTopic = base + "command";
    m_resultTopic = base + "command/result";
}

MqttStation::~MqttStation() {
    if (!m_connection) {
        return;
    }
    if (m_connected) {
        publishStatus("offline");
    }
    m_connection->stop(m_connected);
    reportDropped();
    if (!m_queue.empty()) {
        m_note(QStringLiteral("station %1: %2 stable weights not published, the broker being "
                              "away at the end")
                   .arg(m_station)
                   .arg(m_queue.size()));
    }
}

bool MqttStation::start(QString& error) {
    m_connection = std::make_unique<BrokerConnection>(
        m_target, m_clientId,
        BrokerConnection::Handlers{
            [this] { connectedNow(); },
            [this](const ConnectOutcome& outcome) { failedWith(outcome); },
            [this](const BrokerConnection::Message& message) {
                if (m_onCommand && message.topic == m_commandTopic) {
                    m_onCommand(message.payload, message.retained);
                }
            },
            kCommandPayloadLimit});
    mosquitto* client = m_connection->client();
    if (client == nullptr) {
        error = QStringLiteral("cannot set up an MQTT client");
        return false;
    }
    const char offline[] = "offline";
    int code =
        mosquitto_will_set(client, m_statusTopic.c_str(), sizeof offline - 1, offline, 1, true);
    if (code == MOSQ_ERR_SUCCESS && !m_target.user.isEmpty()) {
        const QByteArray user = m_target.user.toUtf8();
        const QByteArray password = m_target.password.toUtf8();
        code = mosquitto_username_pw_set(client, user.constData(),
                                         password.isEmpty() ? nullptr : password.constData());
    }
    if (code == MOSQ_ERR_SUCCESS && m_target.tls) {
        // The CA file was checked before anything started; without one, the host's CAs.
        const QByteArray ca = QFile::encodeName(m_target.caFile);
        code = mosquitto_tls_set(client, ca.isEmpty() ? nullptr : ca.constData(),
                                 ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                                 nullptr);
    }
    if (code != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot set up the MQTT client for station %1 (library code %2)")
                    .arg(m_station)
                    .arg(code);
        return false;
    }
    m_connection->start();
    return true;
}

void MqttStation::connectedNow() {
    m_connected = true;
    m_brokerNotes.connected(this, m_queue.size());
    // A clean session forgets subscriptions: asked again on every connection, and before the
    // status, so that whoever sees "online" may send a command at once.
    if (m_onCommand && m_target.commandsAllowed) {
        (void)mosquitto_subscribe(m_connection->client(), nullptr, m_commandTopic.c_str(), 1);
    }
    publishStatus(m_portPresent ? "online" : "port-lost");
    reportDropped();
    flushQueue();
}

void MqttStation::failedWith(const ConnectOutcome& outcome) {
    m_connected = false;
    m_brokerNotes.failed(this, describeFailure(outcome, m_target, m_clientId));
}

void MqttStation::publishStatus(const char* status) {
    (void)mosquitto_publish(m_connection->client(), nullptr, m_statusTopic.c_str(),
                            static_cast<int>(std::char_traits<char>::length(status)), status, 1,
                            true);
}

void MqttStation::publishCommandResult(const std::string& payload) {
    (void)mosquitto_publish(m_connection->client(), nullptr, m_resultTopic.c_str(),
                            static_cast<int>(payload.size()), payload.data(), 1, false);
}

void MqttStation::publishReading(std::string_view payload) {
    // Readings are for now: while the broker is away they are not kept.
    if (m_connected) {
        (void)mosquitto_publish(m_connection->client(), nullptr, m_readingTopic.c_str(),
                                static_cast<int>(payload.size()), payload.data(), 0, false);
    }
}

void MqttStation::publishStable(std::string payload) {
    m_queue.push(std::move(payload));
    if (m_connected) {
        flushQueue();
    }
}

void MqttStation::flushQueue() {
    while (!m_queue.empty()) {
        const std::string& payload = m_queue.front();
        // Once the library has taken a message, it sends it, and sends it again after a
        // reconnect if the broker has not acknowledged it; refused, it stays here.
        if (mosquitto_publish(m_connection->client(), nullptr, m_stableTopic.c_str(),
                              static_cast<int>(payload.size()), payload.data(), 1,
                              true) != MOSQ_ERR_SUCCESS) {
            return;
        }
        m_queue.pop();
    }
    if (m_clearOwed) {
        // An empty retained message: the broker forgets the last stable weight, so that a
        // subscriber that comes while the port is gone is handed no weight of an unplugged scale
        // as if it stood there now. Sent after what was kept, which came before the loss.
        if (mosquitto_publish(m_connection->client(), nullptr, m_stableTopic.c_str(), 0, nullptr,
                              1, true) == MOSQ_ERR_SUCCESS) {
            m_clearOwed = false;
        }
    }
}

void MqttStation::setPortPresent(bool present) {
    if (present == m_portPresent) {
        return;
    }
    m_portPresent = present;
    m_clearOwed = !present;
    if (m_connected) {
        publishStatus(present ? "online" : "port-lost");
        flushQueue();
    }
}

void MqttStation::reportDropped() {
    if (const std::uint64_t dropped = m_queue.takeDropped(); dropped > 0) {
        m_note(QStringLiteral("station %1: %2 stable weights dropped while the broker was away "
                              "(the queue holds %3)")
                   .arg(m_station)
                   .arg(dropped)
                   .arg(m_target.queueLimit));
    }
}

}  // namespace scaleread
