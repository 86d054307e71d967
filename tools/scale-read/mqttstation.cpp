#include "tools/scale-read/mqttstation.h"

#include <mosquitto.h>
#include <unistd.h>

#include <QFile>

namespace scaleread {
namespace {

constexpr int kKeepAliveSeconds = 10;

// The library is set up once for the process, on first use, and left to the exit.
void initialiseLibrary() {
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)initialised;
}

std::string clientId(const QString& station) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return "scale-read-" + std::string(host) + "-" + station.toStdString();
}

}  // namespace

MqttStation::MqttStation(const MqttTarget& target, QString station, Note note)
    : m_target(target),
      m_station(std::move(station)),
      m_note(std::move(note)),
      m_queue(static_cast<std::size_t>(target.queueLimit)) {
    const std::string base = m_target.prefix.toStdString() + "/" + m_station.toStdString() + "/";
    m_readingTopic = base + "reading";
    m_stableTopic = base + "stable";
    m_statusTopic = base + "status";
}

MqttStation::~MqttStation() {
    if (m_client == nullptr) {
        return;
    }
    if (m_connected) {
        publishStatus("offline");
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
    } else {
        // Not connected, the library's thread may sleep for up to 30 s before its next try.
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, true);
    }
    reportDropped();
    if (!m_queue.empty()) {
        m_note(QStringLiteral("station %1: %2 stable weights not published, the broker being "
                              "away at the end")
                   .arg(m_station)
                   .arg(m_queue.size()));
    }
    mosquitto_destroy(m_client);
}

bool MqttStation::start(QString& error) {
    initialiseLibrary();
    m_client = mosquitto_new(clientId(m_station).c_str(), true, this);
    if (m_client == nullptr) {
        error = QStringLiteral("cannot set up an MQTT client");
        return false;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_client, &MqttStation::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttStation::onDisconnect);
    mosquitto_reconnect_delay_set(m_client, 1, 30, true);
    const char offline[] = "offline";
    int code = mosquitto_will_set(m_client, m_statusTopic.c_str(), sizeof offline - 1, offline, 1,
                                  true);
    if (code == MOSQ_ERR_SUCCESS && !m_target.user.isEmpty()) {
        code = mosquitto_username_pw_set(m_client, m_target.user.toUtf8().constData(),
                                         m_target.password.isEmpty()
                                             ? nullptr
                                             : m_target.password.toUtf8().constData());
    }
    if (code == MOSQ_ERR_SUCCESS && m_target.tls) {
        const QByteArray ca = QFile::encodeName(m_target.caFile);
        code = mosquitto_tls_set(m_client, ca.isEmpty() ? nullptr : ca.constData(),
                                 ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                                 nullptr);
    }
    if (code != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot set up the MQTT client: %1")
                    .arg(QString::fromUtf8(mosquitto_strerror(code)));
        return false;
    }
    // A broker that is down now is tried again by the library's thread, with its backoff.
    code = mosquitto_connect_async(m_client, m_target.host.toUtf8().constData(), m_target.port,
                                   kKeepAliveSeconds);
    if (code != MOSQ_ERR_SUCCESS) {
        m_note(QStringLiteral("station %1: broker %2:%3 not reached (%4); trying again")
                   .arg(m_station, m_target.host)
                   .arg(m_target.port)
                   .arg(QString::fromUtf8(mosquitto_strerror(code))));
    }
    code = mosquitto_loop_start(m_client);
    if (code != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("cannot start the MQTT client: %1")
                    .arg(QString::fromUtf8(mosquitto_strerror(code)));
        return false;
    }
    return true;
}

// Both callbacks run on the library's thread: they only hand over to this object's thread.
void MqttStation::onConnect(mosquitto*, void* self, int code) {
    auto* station = static_cast<MqttStation*>(self);
    QMetaObject::invokeMethod(
        station, [station, code] { station->connectedWith(code); }, Qt::QueuedConnection);
}

void MqttStation::onDisconnect(mosquitto*, void* self, int code) {
    auto* station = static_cast<MqttStation*>(self);
    QMetaObject::invokeMethod(
        station, [station, code] { station->disconnectedWith(code); }, Qt::QueuedConnection);
}

void MqttStation::connectedWith(int code) {
    if (code != 0) {
        if (code != m_lastRefusal) {
            m_note(QStringLiteral("station %1: broker %2:%3 refused the connection: %4")
                       .arg(m_station, m_target.host)
                       .arg(m_target.port)
                       .arg(QString::fromUtf8(mosquitto_connack_string(code))));
            m_lastRefusal = code;
        }
        return;
    }
    m_lastRefusal = -1;
    if (m_everConnected) {
        m_note(QStringLiteral("station %1: broker %2:%3 is back; publishing %4 kept stable "
                              "weights")
                   .arg(m_station, m_target.host)
                   .arg(m_target.port)
                   .arg(m_queue.size()));
    }
    m_connected = true;
    m_everConnected = true;
    publishStatus(m_portPresent ? "online" : "port-lost");
    reportDropped();
    flushQueue();
}

void MqttStation::disconnectedWith(int code) {
    if (!m_connected) {
        return;
    }
    m_connected = false;
    if (code != 0) {
        m_note(QStringLiteral("station %1: broker %2:%3 lost; keeping stable weights until it "
                              "is back")
                   .arg(m_station, m_target.host)
                   .arg(m_target.port));
    }
}

void MqttStation::publishStatus(const char* status) {
    (void)mosquitto_publish(m_client, nullptr, m_statusTopic.c_str(),
                            static_cast<int>(std::char_traits<char>::length(status)), status, 1,
                            true);
}

void MqttStation::publishReading(const std::string& payload) {
    // Readings are for now: while the broker is away they are not kept.
    if (m_connected) {
        (void)mosquitto_publish(m_client, nullptr, m_readingTopic.c_str(),
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
        if (mosquitto_publish(m_client, nullptr, m_stableTopic.c_str(),
                              static_cast<int>(payload.size()), payload.data(), 1,
                              true) != MOSQ_ERR_SUCCESS) {
            return;
        }
        m_queue.pop();
    }
}

void MqttStation::setPortPresent(bool present) {
    if (present == m_portPresent) {
        return;
    }
    m_portPresent = present;
    if (m_connected) {
        publishStatus(present ? "online" : "port-lost");
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
