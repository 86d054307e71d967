#include "tools/scale-read/modbus/modbusoutlet.h"

#include "app/serial/qtserialcontrol.h"
#include "device/linesettings.h"
#include "tools/scale-read/cli/stationconfig.h"
#include "tools/scale-read/ports/openfailure.h"
#include "tools/scale-read/modbus/registeranswerer.h"
#include "tools/scale-read/modbus/rtuslave.h"
#include "tools/scale-read/modbus/tcplistener.h"

namespace scaleread {
namespace {

CommandState stateOf(CommandResult result) {
    switch (result) {
    case CommandResult::Done:
        return CommandState::Done;
    case CommandResult::NoAnswer:
    case CommandResult::Expired:  // the indicator never got to it
        return CommandState::NoAnswer;
    case CommandResult::Unsupported:
        return CommandState::Unsupported;
    case CommandResult::Refused:
    case CommandResult::Overload:
    case CommandResult::Underload:
    case CommandResult::Busy:
        break;
    }
    return CommandState::Refused;
}

}  // namespace

ModbusOutlet::ModbusOutlet(const ModbusSettings& settings, StationControl& control,
                           const Clock& clock, Note note)
    : m_settings(settings), m_control(control), m_clock(clock), m_note(std::move(note)) {
    m_stations.assign(control.stationCount(), StationRegisters(steadyMillis()));
    m_answerer = std::make_unique<RegisterAnswerer>(
        m_stations, settings.order, [this] { return steadyMillis(); },
        [this](std::size_t station, std::uint16_t command, std::uint16_t sequence) {
            this->command(station, command, sequence);
        });
}

ModbusOutlet::~ModbusOutlet() = default;

bool ModbusOutlet::start(const QString& portsFolder, QString& error) {
    if (m_settings.tcp) {
        m_tcp = std::make_unique<TcpListener>(*m_answerer, m_settings.allowed, m_note);
        if (!m_tcp->listen(m_settings.address, m_settings.port, error)) {
            error = QStringLiteral("--modbus cannot listen on %1:%2: %3")
                        .arg(m_settings.address.toString())
                        .arg(m_settings.port)
                        .arg(error);
            return false;
        }
        m_note(QStringLiteral("Modbus TCP on %1:%2")
                   .arg(m_settings.address.toString())
                   .arg(m_tcp->port()));
    }
    if (!m_settings.rtuPort.isEmpty()) {
        const auto line = scale::parseLineSettings(m_settings.rtuSettings.toStdString());
        int commPort = 1;
        QString device;
        (void)parsePortName(m_settings.rtuPort, commPort, device);  // checked with the options
        if (device.isEmpty()) {
            device = scale::QtSerialControl(portsFolder).deviceName(commPort);
        }
        m_rtu = std::make_unique<RtuSlave>(*m_answerer, m_note);
        if (!m_rtu->openLine(device, *line, error)) {
            error = QStringLiteral("--modbus-rtu cannot open %1: %2")
                        .arg(portLabel(m_settings.rtuPort, device), error);
            return false;
        }
        m_note(QStringLiteral("Modbus RTU slave %1 on %2 at %3")
                   .arg(RtuSlave::kAddress)
                   .arg(portLabel(m_settings.rtuPort, device), m_settings.rtuSettings));
    }
    return true;
}

void ModbusOutlet::record(const Record& record) {
    if (record.station < m_stations.size()) {
        m_stations[record.station].frame(record.frame, record.stable, steadyMillis());
    }
}

void ModbusOutlet::portChanged(std::size_t station, PortState state, const QString& reason) {
    (void)reason;
    if (station < m_stations.size()) {
        m_stations[station].setPortLost(state != PortState::Open);
    }
}

void ModbusOutlet::command(std::size_t station, std::uint16_t command, std::uint16_t sequence) {
    StationRegisters& registers = m_stations[station];
    // The same write again (a PLC's retry) is the same command: it is not sent twice.
    if (registers.resultSequence() == sequence && registers.result() != CommandState::Idle) {
        return;
    }
    registers.setCommand(command, sequence);
    if (!m_settings.allowCommands) {
        registers.setResult(CommandState::NotAllowed, sequence);
        return;
    }
    registers.setResult(CommandState::Busy, sequence);
    constexpr CommandKind kKinds[] = {CommandKind::Zero, CommandKind::Tare, CommandKind::ClearTare};
    (void)m_control.sendCommand(station, kKinds[command - 1],
                          [this, station, sequence](CommandResult result, const std::string&) {
                              // A later command's result is not overwritten by this one's.
                              if (m_stations[station].resultSequence() == sequence) {
                                  m_stations[station].setResult(stateOf(result), sequence);
                              }
                          });
}

}  // namespace scaleread
