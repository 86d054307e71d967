#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <thread>

#include "tools/scale-read/mqtt/broker/brokerfailure.h"
#include "tools/scale-read/mqtt/mqtttarget.h"

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;
class QTimer;

namespace scaleread {

// One client connection to the broker. A thread of its own connects (the name lookup may take
// long) and after any failure (refused, unreachable, a TLS or login problem alike) waits 1 s,
// doubling up to 30 s, and tries again; a connection the broker accepted starts the wait afresh.
// A connection made is served on the caller's thread, from its event loop, so that a publish
// wakes no other thread. Nothing here blocks the caller's thread
// (but the goodbye in stop()), where both handlers run.
class BrokerConnection : public QObject {
public:
    // A message on a topic subscribed to.
    struct Message {
        std::string topic;
        // At most the handlers' messageLimit + 1 bytes of it: enough to tell one too long, and
        // nothing large is copied.
        std::string payload;
        bool retained = false;  // kept by the broker from before, not sent now
    };
    struct Handlers {
        std::function<void()> connected;
        std::function<void(const ConnectOutcome&)> failed;
        // None when unset.
        std::function<void(const Message&)> message = {};
        std::size_t messageLimit = 0;
    };

    BrokerConnection(const MqttTarget& target, const std::string& clientId, Handlers handlers);
    // Stops without a goodbye, if stop() was not called.
    ~BrokerConnection() override;

    // The client, to be set up (will, login, TLS) before start(); nullptr when none could be
    // made.
    mosquitto* client() const { return m_client; }
    // Publishes and subscribes on the caller's thread; the library's codes.
    int publish(const std::string& topic, std::string_view payload, int qos, bool retain);
    int subscribe(const std::string& topic, int qos);
    void start();
    // Ends the thread. With `goodbye`, what was published so far and a DISCONNECT go out first,
    // given up to 2 s.
    void stop(bool goodbye);

private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void onLog(mosquitto* client, void* self, int level, const char* text);
    void run();
    bool accepted();
    // The caller's thread serves a connection made, until it ends.
    void serve();
    void served(int code);
    // A publish's message goes out when the event loop turns, or with those after it while
    // the last write is less than a moment ago.
    void gatherWrites();
    // Writes are watched for while the library has something the socket did not take.
    void watchWrites();
    int writeQueued();
    void endServing();
    // Sleeps, or less when stopped.
    void pause(int seconds);

    MqttTarget m_target;
    Handlers m_handlers;
    mosquitto* m_client = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_ending{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    ConnectOutcome m_attempt;  // the attempt under way, guarded by m_mutex
    // Set by the caller's thread when the connection it served ended, guarded by m_mutex.
    std::optional<std::pair<int, int>> m_servedEnd;  // library code, errno
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
    QTimer* m_keepAlive = nullptr;
    QTimer* m_gather = nullptr;
    std::chrono::steady_clock::time_point m_lastWrite;  // of what was queued
};

}  // namespace scaleread
