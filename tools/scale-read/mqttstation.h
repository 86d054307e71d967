#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "tools/scale-read/mqtttarget.h"
#include "tools/scale-read/stablequeue.h"

struct mosquitto;

namespace scaleread {

// One station's connection to the broker: its readings (QoS 0), its stable weights (QoS 1,
// retained) and its status (retained, with the broker's last will "offline"). The connection
// has a thread of its own in the library, which reconnects with a backoff from 1 s doubling to
// 30 s; everything else, the stable queue included, lives on the caller's thread.
class MqttStation : public QObject {
public:
    using Note = std::function<void(const QString&)>;

    MqttStation(const MqttTarget& target, QString station, Note note);
    // Says "offline" and disconnects.
    ~MqttStation() override;

    // Starts connecting; false with `error` set when the client cannot even be set up.
    bool start(QString& error);

    void publishReading(const std::string& payload);
    void publishStable(std::string payload);
    // The station's port is there or gone: "online" or "port-lost".
    void setPortPresent(bool present);

    bool connected() const { return m_connected; }
    std::size_t queued() const { return m_queue.size(); }

private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onDisconnect(mosquitto* client, void* self, int code);
    void connectedWith(int code);
    void disconnectedWith(int code);
    void publishStatus(const char* status);
    void flushQueue();
    void reportDropped();

    MqttTarget m_target;
    QString m_station;
    Note m_note;
    std::string m_readingTopic;
    std::string m_stableTopic;
    std::string m_statusTopic;
    mosquitto* m_client = nullptr;
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_portPresent = true;
    int m_lastRefusal = -1;
    StableQueue m_queue;
};

}  // namespace scaleread
