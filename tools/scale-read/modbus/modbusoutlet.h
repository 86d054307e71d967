#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "tools/scale-read/clock.h"
#include "tools/scale-read/modbus/modbusoptions.h"
#include "tools/scale-read/modbus/stationregisters.h"
#include "tools/scale-read/outlets/outlet.h"

namespace scaleread {

class RegisterAnswerer;
class RtuSlave;
class TcpListener;

// The stations' registers served to PLCs over Modbus TCP and RTU; commands written to them go
// to the stations through their control, when allowed.
class ModbusOutlet : public Outlet {
public:
    using Note = std::function<void(const QString&)>;
    // `control` and `clock` outlive the outlet.
    ModbusOutlet(const ModbusSettings& settings, StationControl& control, const Clock& clock,
                 Note note);
    ~ModbusOutlet() override;

    // Listens and opens the serial line, a ComN found in `portsFolder` as --port finds it; false
    // with `error` (one line) when either fails.
    bool start(const QString& portsFolder, QString& error);

    // Every frame, whatever --changes-only and the like choose for the records.
    void record(const Record& record) override;
    void portChanged(std::size_t station, PortState state, const QString& reason) override;

private:
    void command(std::size_t station, std::uint16_t command, std::uint16_t sequence);
    std::int64_t steadyMillis() const { return m_clock.steadyMicros() / 1000; }

    ModbusSettings m_settings;
    StationControl& m_control;
    const Clock& m_clock;
    Note m_note;
    std::vector<StationRegisters> m_stations;
    std::unique_ptr<RegisterAnswerer> m_answerer;
    std::unique_ptr<TcpListener> m_tcp;
    std::unique_ptr<RtuSlave> m_rtu;
};

}  // namespace scaleread
