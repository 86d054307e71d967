#include "tools/scale-read/mqtt/mqttoutlet.h"

#include <utility>

#include "tools/scale-read/mqtt/broker/brokerfailure.h"
#include "tools/scale-read/mqtt/commandpayload.h"

namespace scaleread {

MqttOutlet::MqttOutlet(const MqttTarget& target, StationControl& stations,
                       const std::string& clientKey, const Clock& clock, Note note)
    : m_stations(stations),
      m_clock(clock),
      m_note(std::move(note)),
      m_brokerNotes(brokerName(target), m_note, m_brokerNotesTimer) {
    for (std::size_t index = 0; index < stations.stationCount(); ++index) {
        Station station;
        station.mqtt = std::make_unique<MqttStation>(
            target, QString::fromStdString(stations.source(index).station), clientKey,
            m_brokerNotes, m_note);
        if (target.commandsAllowed) {
            station.mqtt->setOnCommand([this, index](const std::string& message, bool retained) {
                commandFromBroker(index, message, retained);
            });
        }
        m_connections.push_back(std::move(station));
    }
}

MqttOutlet::~MqttOutlet() = default;

bool MqttOutlet::start(QString& error) {
    for (Station& station : m_connections) {
        if (!station.mqtt->start(error)) {
            return false;
        }
    }
    return true;
}

void MqttOutlet::record(const Record& record) {
    if (!record.chosen) {
        return;
    }
    MqttStation& mqtt = *m_connections[record.station].mqtt;
    const std::string_view payload = record.texts.json();
    mqtt.publishReading(payload);
    if (record.frame.error == scale::FrameError::None && record.becameStable) {
        mqtt.publishStable(std::string(payload));
    }
}

void MqttOutlet::portChanged(std::size_t station, PortState state, const QString& reason) {
    (void)reason;
    m_connections[station].mqtt->setPortPresent(state == PortState::Open);
}

void MqttOutlet::publishResult(std::size_t index, std::string_view command,
                               std::string_view result, const std::string& text,
                               const std::string& idJson) {
    std::string payload;
    m_results.appendCommand(payload, m_stations.source(index), m_clock.utcMillis(), command,
                            result, text, idJson);
    payload.pop_back();  // the line end
    m_connections[index].mqtt->publishCommandResult(payload);
}

// A command from the broker's command topic, its result published back with the request's id.
// A retained one is refused: it is what the broker kept from before, and would run at every
// start and reconnection (a restart would tare the scale).
void MqttOutlet::commandFromBroker(std::size_t index, const std::string& message,
                                   bool retained) {
    Station& station = m_connections[index];
    const QString name = QString::fromStdString(m_stations.source(index).station);
    const auto request = readCommandPayload(message);
    // "type" is the keyboard's: the weight standing now typed where the cursor is.
    if (const auto* problem = std::get_if<PayloadProblem>(&request);
        problem != nullptr && problem->commandJson == "\"type\"") {
        if (retained) {
            publishResult(index, "type", resultName(CommandResult::Refused),
                          "a retained message is not taken as a command", problem->idJson);
            return;
        }
        m_stations.typeStanding(index, QStringLiteral("mqtt"),
                                [this, index, id = problem->idJson](const QString& result,
                                                                    const QString& text) {
                                    publishResult(index, "type", result.toStdString(),
                                                  text.toStdString(), id);
                                });
        return;
    }
    if (const auto* problem = std::get_if<PayloadProblem>(&request)) {
        if (!std::exchange(station.refusalTold, true)) {
            m_note(QStringLiteral("station %1: a command message refused: %2 (further ones are "
                                  "told only in their results)")
                       .arg(name, QString::fromStdString(problem->text)));
        }
        // The command as the message named it, or nothing.
        const std::string command =
            problem->commandJson.size() >= 2 && problem->commandJson.front() == '"'
                ? problem->commandJson.substr(1, problem->commandJson.size() - 2)
                : std::string();
        publishResult(index, command, resultName(problem->result), problem->text,
                      problem->idJson);
        return;
    }
    const auto& asked = std::get<CommandPayload>(request);
    if (retained) {
        if (!std::exchange(station.retainedTold, true)) {
            m_note(QStringLiteral("station %1: a retained message on the command topic is "
                                  "ignored; commands must be sent without the retain flag "
                                  "(clear it by publishing an empty retained message there)")
                       .arg(name));
        }
        publishResult(index, commandName(asked.kind), resultName(CommandResult::Refused),
                      "a retained message is not taken as a command", asked.idJson);
        return;
    }
    m_stations.sendCommand(
        index, asked.kind, [this, index, asked](CommandResult result, const std::string& text) {
            publishResult(index, commandName(asked.kind), resultName(result), text,
                          asked.idJson);
        });
}

}  // namespace scaleread
