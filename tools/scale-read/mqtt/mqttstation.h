#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tools/scale-read/mqtt/broker/brokerconnection.h"
#include "tools/scale-read/mqtt/broker/brokernotes.h"
#include "tools/scale-read/mqtt/mqtttarget.h"
#include "tools/scale-read/mqtt/stablequeue.h"

namespace scaleread {

// One station's connection to the broker: its readings (QoS 0), its stable weights (QoS 1,
// retained while its port is there, cleared while it is gone) and its status (retained, with the
// broker's last will "offline"). The connection keeps itself up (see BrokerConnection); the
// stable queue and every publish live on the caller's thread. What happens to the connection is
// told through `brokerNotes`, which the stations of one broker share; what concerns this station
// alone through `note`.
class MqttStation : public QObject {
public:
    using Note = std::function<void(const QString&)>;

    // `clientKey`, kept per installation, makes the client id one that no other client guesses.
    MqttStation(const MqttTarget& target, QString station, const std::string& clientKey,
                BrokerNotes& brokerNotes, Note note);
    // Says "offline" and disconnects.
    ~MqttStation() override;

    // Starts connecting; false with `error` set when the client cannot even be set up.
    bool start(QString& error);

    void publishReading(std::string_view payload);
    void publishStable(std::string payload);
    // With the target's commands allowed, each message on STATION/command (QoS 1) is handed to
    // `handler`, its payload cut past kCommandPayloadLimit bytes; results go back with
    // publishCommandResult. Set before start().
    using CommandHandler = std::function<void(const std::string& payload, bool retained)>;
    void setOnCommand(CommandHandler handler) { m_onCommand = std::move(handler); }
    // On STATION/command/result, QoS 1, not retained.
    void publishCommandResult(const std::string& payload);
    // The station's port is there or gone: "online" or "port-lost".
    void setPortPresent(bool present);

    bool connected() const { return m_connected; }
    std::size_t queued() const { return m_queue.size(); }

private:
    void connectedNow();
    void failedWith(const ConnectOutcome& outcome);
    void publishStatus(const char* status);
    void flushQueue();
    void reportDropped();

    MqttTarget m_target;
    QString m_station;
    BrokerNotes& m_brokerNotes;
    Note m_note;
    std::string m_clientId;
    std::string m_readingTopic;
    std::string m_stableTopic;
    std::string m_statusTopic;
    std::string m_commandTopic;
    std::string m_resultTopic;
    CommandHandler m_onCommand;
    std::unique_ptr<BrokerConnection> m_connection;
    bool m_connected = false;
    bool m_portPresent = true;
    bool m_clearOwed = false;  // the retained stable weight is to be cleared: the port is gone
    StableQueue m_queue;
};

}  // namespace scaleread
