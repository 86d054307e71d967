#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/serial/serialcontrol.h"
#include "app/timers/timercontrol.h"
#include "tools/scale-read/cli/stationconfig.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/outlets/outlet.h"
#include "tools/scale-read/outlets/recordtexts.h"
#include "tools/scale-read/records/recordoutput.h"
#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {

// How the stations of a run are read.
struct EngineSettings {
    ReadingRules rules;  // its format replaced by each station's own
    RecordChoice choice;
    std::optional<std::int64_t> reconnectTimeoutMs;  // unset: a lost port is waited for always
    bool quiet = false;                              // no notes from the readers
    bool several = false;  // --station/--stations: records and notes name the station
    std::string decimalSeparator;
};

// What the engine takes from the host: ports, timers and the clock, real in the program and fake
// in the tests.
struct EngineHost {
    std::function<std::unique_ptr<scale::SerialControl>(const StationConfig&)> makePort;
    std::function<std::unique_ptr<scale::TimerControl>()> makeTimer;
    const Clock& clock;
    std::function<void(const QString&)> note;
    // The run ends with this status; called once.
    std::function<void(int status)> end;
};

// The stations of a reading run and what becomes of their frames: each frame is decoded once,
// becomes one Record and goes to every outlet in the order they were added, until the run ends.
// A station whose port fails is tried again; one that is lost is waited for, and given up after
// the reconnect timeout (with one station, that ends the run).
class StationEngine : public StationControl {
public:
    StationEngine(const std::vector<StationConfig>& stations, EngineSettings settings,
                  EngineHost host);
    ~StationEngine() override;
    StationEngine(const StationEngine&) = delete;
    StationEngine& operator=(const StationEngine&) = delete;

    void addOutlet(std::unique_ptr<Outlet> outlet) { m_outlets.push_back(std::move(outlet)); }
    // Opens every station's port and starts reading. False, with a note given, when the run
    // cannot go on: the only station's port does not open, or a port cannot be read.
    bool open();
    // Every byte read on the station's port (for --record).
    void setOnRead(std::size_t station, StationReader::ReadHandler handler);

    // Ends the run with `status`; what ends it first decides. No record goes out after it.
    void end(int status);
    bool ending() const { return m_ending; }
    int status() const { return m_status; }
    // The run is over: the readers' last notes, then each outlet writes out what it holds.
    // False when an outlet failed at that.
    bool finish();

    std::size_t stationCount() const override { return m_stations.size(); }
    const RecordSource& source(std::size_t station) const override;
    const scale::FormatDescription& format(std::size_t station) const override;
    StationReader::CommandId sendCommand(std::size_t station, CommandKind kind,
                                         StationReader::CommandHandler handler) override;
    bool cancelCommand(std::size_t station, StationReader::CommandId id) override;

    // A value the keyboard typed: one record to every outlet, the keyboard's own passing it by.
    // Its texts are made apart from the frame's, which it may come in the middle of.
    void typed(std::size_t station, std::int64_t utcMillis, const scale::StreamFrame& frame,
               const TypedNote& note);
    // Who takes typeStanding: the keyboard of a run with --type.
    void setTyper(std::function<void(std::size_t, const QString&, TypeDone)> typer) {
        m_typer = std::move(typer);
    }
    void typeStanding(std::size_t station, const QString& trigger, TypeDone done) override;

private:
    struct Station;

    void frameRead(std::size_t index, std::int64_t utcMillis, const scale::StreamFrame& frame,
                   bool stable, bool becameStable);
    void lineEvent(std::size_t index, scale::SerialControl::LineEvent event);
    void gaveUp(std::size_t index);
    void retryOpen(std::size_t index);
    bool openStation(std::size_t index);
    void tell(std::size_t index, PortState state, const QString& reason = {});
    QString labelOf(const Station& station) const;
    QString portOf(const Station& station) const;
    QString openFailureOf(const Station& station) const;

    EngineSettings m_settings;
    EngineHost m_host;
    std::vector<std::unique_ptr<Station>> m_stations;
    RecordTexts m_texts;
    RecordTexts m_typedTexts;
    std::function<void(std::size_t, const QString&, TypeDone)> m_typer;
    // After the stations: outlets go first, while the stations they command are still there.
    std::vector<std::unique_ptr<Outlet>> m_outlets;
    bool m_ending = false;
    int m_status = 0;
};

}  // namespace scaleread
