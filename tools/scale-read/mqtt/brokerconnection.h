#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tools/scale-read/mqtt/brokerfailure.h"
#include "tools/scale-read/mqtt/mqtttarget.h"

struct mosquitto;
struct mosquitto_message;

namespace scaleread {

// One client connection to the broker, kept up by a thread of its own: it connects, serves the
// connection, and after any failure (refused, unreachable, a TLS or login problem alike) waits
// 1 s, doubling up to 30 s, and tries again; a connection the broker accepted starts the wait
// afresh. Nothing here blocks the caller's thread, where both handlers run.
class BrokerConnection : public QObject {
public:
    // A message on a topic subscribed to.
    struct Message {
        std::string topic;
        // At most the handlers' messageLimit + 1 bytes of it: enough to tell one too long, and
        // nothing large is copied between threads.
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
    // made. Publishing on it is safe from the caller's thread while the connection runs.
    mosquitto* client() const { return m_client; }
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
};

}  // namespace scaleread
