#include "tools/scale-read/mqtt/brokerconnection.h"

#include <mosquitto.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "tools/scale-read/mqtt/tlsprobe.h"

namespace scaleread {
namespace {

constexpr int kKeepAliveSeconds = 10;
constexpr int kFirstWaitSeconds = 1;
constexpr int kLongestWaitSeconds = 30;
constexpr int kLoopMillis = 1000;
constexpr auto kGoodbyeTime = std::chrono::seconds(2);
constexpr int kProbeMillis = 2000;

// The library is set up once for the process, on first use, and left to the exit.
void initialiseLibrary() {
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)initialised;
}

}  // namespace

BrokerConnection::BrokerConnection(const MqttTarget& target, const std::string& clientId,
                                   Handlers handlers)
    : m_target(target), m_handlers(std::move(handlers)) {
    initialiseLibrary();
    m_client = mosquitto_new(clientId.c_str(), true, this);
    if (m_client == nullptr) {
        return;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Publishing from the caller's thread then wakes this connection's thread.
    mosquitto_threaded_set(m_client, true);
    mosquitto_connect_callback_set(m_client, &BrokerConnection::onConnect);
    mosquitto_log_callback_set(m_client, &BrokerConnection::onLog);
    mosquitto_message_callback_set(m_client, &BrokerConnection::onMessage);
}

BrokerConnection::~BrokerConnection() {
    stop(false);
    if (m_client != nullptr) {
        mosquitto_destroy(m_client);
    }
}

void BrokerConnection::start() {
    if (m_client != nullptr && !m_thread.joinable()) {
        m_thread = std::thread([this] { run(); });
    }
}

void BrokerConnection::stop(bool goodbye) {
    if (!m_thread.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_wake.notify_all();
    // Asked only now, so that the thread, ending, serves the connection until the goodbye is out.
    if (goodbye) {
        (void)mosquitto_disconnect(m_client);
    }
    m_thread.join();
}

// Both callbacks run on this connection's thread, the log one also on the caller's when it
// publishes.
void BrokerConnection::onConnect(mosquitto*, void* self, int code) {
    auto* connection = static_cast<BrokerConnection*>(self);
    {
        const std::lock_guard lock(connection->m_mutex);
        connection->m_attempt.connack = code;
        connection->m_attempt.accepted = code == 0;
    }
    if (code == 0) {
        QMetaObject::invokeMethod(
            connection, [connection] { connection->m_handlers.connected(); }, Qt::QueuedConnection);
    }
}

void BrokerConnection::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* connection = static_cast<BrokerConnection*>(self);
    if (!connection->m_handlers.message || message->payloadlen < 0) {
        return;
    }
    const std::size_t length = std::min(static_cast<std::size_t>(message->payloadlen),
                                        connection->m_handlers.messageLimit + 1);
    Message taken{message->topic,
                  std::string(static_cast<const char*>(message->payload), length),
                  message->retain};
    QMetaObject::invokeMethod(
        connection,
        [connection, taken = std::move(taken)] { connection->m_handlers.message(taken); },
        Qt::QueuedConnection);
}

void BrokerConnection::onLog(mosquitto* client, void* self, int level, const char* text) {
    // The TLS library's complaints come only this way; the verdict on the certificate is read
    // while the session still exists.
    if ((level & MOSQ_LOG_ERR) == 0 || std::strstr(text, "OpenSSL Error") == nullptr) {
        return;
    }
    auto* connection = static_cast<BrokerConnection*>(self);
    const auto* session = static_cast<const SSL*>(mosquitto_ssl_get(client));
    const std::lock_guard lock(connection->m_mutex);
    connection->m_attempt.tlsError = text;
    if (session != nullptr) {
        connection->m_attempt.certificateError = SSL_get_verify_result(session);
    }
}

bool BrokerConnection::accepted() {
    const std::lock_guard lock(m_mutex);
    return m_attempt.accepted;
}

void BrokerConnection::pause(int seconds) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_ending.load(); });
}

void BrokerConnection::run() {
    int delay = kFirstWaitSeconds;
    bool first = true;
    // Whether the port answers TLS is asked once per spell of failures.
    std::optional<bool> speaksTls;
    while (!m_ending) {
        {
            const std::lock_guard lock(m_mutex);
            m_attempt = {};
        }
        errno = 0;
        int code = first ? mosquitto_connect_async(m_client, m_target.host.toUtf8().constData(),
                                                   m_target.port, kKeepAliveSeconds)
                         : mosquitto_reconnect_async(m_client);
        first = false;
        int systemError = errno;
        std::optional<std::chrono::steady_clock::time_point> goodbyeEnd;
        while (code == MOSQ_ERR_SUCCESS) {
            errno = 0;
            code = mosquitto_loop(m_client, kLoopMillis, 1);
            systemError = errno;
            if (m_ending) {
                if (!accepted()) {
                    break;
                }
                const auto now = std::chrono::steady_clock::now();
                if (!goodbyeEnd) {
                    goodbyeEnd = now + kGoodbyeTime;
                } else if (now > *goodbyeEnd) {
                    break;
                }
            }
        }
        if (m_ending) {
            break;
        }
        ConnectOutcome outcome;
        {
            const std::lock_guard lock(m_mutex);
            outcome = m_attempt;
        }
        outcome.code = code;
        outcome.systemError = systemError;
        if (outcome.accepted) {
            delay = kFirstWaitSeconds;
            speaksTls.reset();
        }
        if (mayBeTlsListener(outcome, m_target)) {
            if (!speaksTls) {
                speaksTls = answersTls(m_target.host.toStdString(), m_target.port, kProbeMillis);
            }
            outcome.answersTls = *speaksTls;
        }
        QMetaObject::invokeMethod(
            this, [this, outcome] { m_handlers.failed(outcome); }, Qt::QueuedConnection);
        pause(delay);
        delay = std::min(delay * 2, kLongestWaitSeconds);
    }
}

}  // namespace scaleread
