#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/timers/qttimercontrol.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/mqtt/broker/brokernotes.h"
#include "tools/scale-read/mqtt/mqttstation.h"
#include "tools/scale-read/mqtt/mqtttarget.h"
#include "tools/scale-read/outlets/outlet.h"

namespace scaleread {

// The broker as an outlet: each station's chosen records as readings, its stable weights, its
// port's presence, and with commands allowed, zero and tare from its command topic with their
// results published back.
class MqttOutlet : public Outlet {
public:
    using Note = std::function<void(const QString&)>;

    // `clientKey`: see MqttStation.
    MqttOutlet(const MqttTarget& target, StationControl& stations, const std::string& clientKey,
               const Clock& clock, Note note);
    ~MqttOutlet() override;

    // Starts every station's connection; false with `error` set when one cannot be set up.
    bool start(QString& error);

    void record(const Record& record) override;
    void portChanged(std::size_t station, PortState state, const QString& reason) override;

private:
    struct Station {
        std::unique_ptr<MqttStation> mqtt;
        // Refused command messages are noted once each way: a flood of them must not flood
        // the log.
        bool retainedTold = false;
        bool refusalTold = false;
    };

    void commandFromBroker(std::size_t index, const std::string& message, bool retained);
    void publishResult(std::size_t index, std::string_view command, std::string_view result,
                       const std::string& text, const std::string& idJson);

    StationControl& m_stations;
    const Clock& m_clock;
    Note m_note;
    RecordFormatter m_results{OutputFormat::Jsonl, false};
    // Made before the stations, whose connections report to it until they are gone.
    scale::QtTimerControl m_brokerNotesTimer;
    BrokerNotes m_brokerNotes;
    std::vector<Station> m_connections;
};

}  // namespace scaleread
