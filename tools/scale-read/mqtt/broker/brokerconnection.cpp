#include "tools/scale-read/mqtt/broker/brokerconnection.h"

#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <tuple>

#include "tools/scale-read/mqtt/broker/tlsprobe.h"

namespace scaleread {
namespace {

constexpr int kKeepAliveSeconds = 10;
constexpr int kFirstWaitSeconds = 1;
constexpr int kLongestWaitSeconds = 30;
constexpr int kLoopMillis = 1000;
// At most one write to the broker in this time: on a fast line the readings that come meanwhile
// go out together, a dozen a write at the full rate, instead of a packet each. One after a quiet
// spell goes out at once.
constexpr std::chrono::milliseconds kGatherTime(10);
constexpr int kGoodbyeLoopMillis = 100;
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
    // A publish then only queues its message: the queue goes out when the event loop turns, or
    // on a fast line with what comes after it (see gatherWrites).
    mosquitto_threaded_set(m_client, true);
    mosquitto_connect_callback_set(m_client, &BrokerConnection::onConnect);
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
    if (m_readable != nullptr) {
        // What was published so far and the DISCONNECT, written here before the end.
        if (goodbye && accepted() && mosquitto_disconnect(m_client) == MOSQ_ERR_SUCCESS) {
            const auto end = std::chrono::steady_clock::now() + kGoodbyeTime;
            while (mosquitto_socket(m_client) >= 0 && std::chrono::steady_clock::now() < end &&
                   mosquitto_loop(m_client, kGoodbyeLoopMillis, 1) == MOSQ_ERR_SUCCESS) {
            }
        }
        endServing();
    }
    m_wake.notify_all();
    m_thread.join();
}

int BrokerConnection::publish(const std::string& topic, std::string_view payload, int qos,
                              bool retain) {
    const int code = mosquitto_publish(m_client, nullptr, topic.c_str(),
                                       static_cast<int>(payload.size()),
                                       payload.empty() ? nullptr : payload.data(), qos, retain);
    gatherWrites();
    return code;
}

int BrokerConnection::subscribe(const std::string& topic, int qos) {
    const int code = mosquitto_subscribe(m_client, nullptr, topic.c_str(), qos);
    gatherWrites();
    return code;
}

// A timer, not the socket's write notifier: switching a notifier on and off wakes the event
// loop through its wake-up descriptor each time, two system calls a reading for nothing.
void BrokerConnection::gatherWrites() {
    if (m_gather == nullptr || m_gather->isActive() || m_writable->isEnabled()) {
        return;
    }
    const auto since = std::chrono::steady_clock::now() - m_lastWrite;
    m_gather->start(since >= kGatherTime
                        ? std::chrono::milliseconds(0)
                        : std::chrono::ceil<std::chrono::milliseconds>(kGatherTime - since));
}

// What the library still has to send after a write (or an answer to the broker's) is written
// when the socket takes it, unless the gathering timer is about to write it anyway.
void BrokerConnection::watchWrites() {
    if (m_writable != nullptr) {
        m_writable->setEnabled(!m_gather->isActive() && mosquitto_want_write(m_client));
    }
}

// Corked, the messages queued since the last turn leave in as few segments as they fit.
int BrokerConnection::writeQueued() {
    m_lastWrite = std::chrono::steady_clock::now();
    const int socket = mosquitto_socket(m_client);
    int cork = 1;
    (void)::setsockopt(socket, IPPROTO_TCP, TCP_CORK, &cork, sizeof cork);
    const int code = mosquitto_loop_write(m_client, 1);
    const int systemError = errno;
    if (mosquitto_socket(m_client) == socket) {
        cork = 0;
        (void)::setsockopt(socket, IPPROTO_TCP, TCP_CORK, &cork, sizeof cork);
    }
    errno = systemError;
    return code;
}

void BrokerConnection::serve() {
    const int socket = mosquitto_socket(m_client);
    if (m_ending || socket < 0) {
        served(MOSQ_ERR_NO_CONN);
        return;
    }
    m_readable = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    m_writable = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    m_keepAlive = new QTimer(this);
    m_gather = new QTimer(this);
    m_gather->setSingleShot(true);
    connect(m_readable, &QSocketNotifier::activated, this,
            [this] { served(mosquitto_loop_read(m_client, 1)); });
    connect(m_writable, &QSocketNotifier::activated, this,
            [this] { served(writeQueued()); });
    connect(m_gather, &QTimer::timeout, this, [this] { served(writeQueued()); });
    connect(m_keepAlive, &QTimer::timeout, this,
            [this] { served(mosquitto_loop_misc(m_client)); });
    m_keepAlive->start(kLoopMillis);
    watchWrites();
}

// After each step: on while it succeeds and the socket is open, else the connection has ended
// and the thread tells it and tries again.
void BrokerConnection::served(int code) {
    const int systemError = errno;
    if (code == MOSQ_ERR_SUCCESS && mosquitto_socket(m_client) >= 0) {
        watchWrites();
        return;
    }
    endServing();
    {
        const std::lock_guard lock(m_mutex);
        m_servedEnd = {code == MOSQ_ERR_SUCCESS ? MOSQ_ERR_NO_CONN : code, systemError};
    }
    m_wake.notify_all();
}

// Called from the notifiers' own signals: deleted once back in the event loop.
void BrokerConnection::endServing() {
    for (QObject* watcher : {static_cast<QObject*>(m_readable),
                             static_cast<QObject*>(m_writable),
                             static_cast<QObject*>(m_keepAlive),
                             static_cast<QObject*>(m_gather)}) {
        if (watcher != nullptr) {
            watcher->disconnect(this);
            watcher->deleteLater();
        }
    }
    if (m_readable != nullptr) {
        m_readable->setEnabled(false);
        m_writable->setEnabled(false);
        m_keepAlive->stop();
        m_gather->stop();
    }
    m_readable = nullptr;
    m_writable = nullptr;
    m_keepAlive = nullptr;
    m_gather = nullptr;
}

// The connect callback runs on the caller's thread, the log one on either.
void BrokerConnection::onConnect(mosquitto*, void* self, int code) {
    auto* connection = static_cast<BrokerConnection*>(self);
    if (code == 0) {
        // Past the handshake the log says nothing we read, and with a callback set the library
        // formats a line for every message it sends.
        mosquitto_log_callback_set(connection->m_client, nullptr);
    }
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
        if (m_target.tls) {
            // Only the log tells why a TLS handshake failed.
            mosquitto_log_callback_set(m_client, &BrokerConnection::onLog);
        }
        errno = 0;
        int code = first ? mosquitto_connect_async(m_client, m_target.host.toUtf8().constData(),
                                                   m_target.port, kKeepAliveSeconds)
                         : mosquitto_reconnect_async(m_client);
        first = false;
        int systemError = errno;
        if (code == MOSQ_ERR_SUCCESS) {
            // Served on the caller's thread until it ends, or until the end of all.
            std::unique_lock lock(m_mutex);
            m_servedEnd.reset();
            QMetaObject::invokeMethod(this, [this] { serve(); }, Qt::QueuedConnection);
            m_wake.wait(lock, [this] { return m_ending || m_servedEnd.has_value(); });
            if (m_servedEnd) {
                std::tie(code, systemError) = *m_servedEnd;
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
