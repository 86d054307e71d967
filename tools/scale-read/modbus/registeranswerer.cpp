#include "tools/scale-read/modbus/registeranswerer.h"

#include <QModbusDataUnit>
#include <optional>

namespace scaleread {
namespace {

constexpr int kStationSpan = 100;  // between two stations' first registers under unit 0 and 255

}  // namespace

RegisterAnswerer::RegisterAnswerer(std::vector<StationRegisters>& stations, WordOrder order,
                                   std::function<std::int64_t()> steadyMillis,
                                   CommandWrite onCommand)
    : m_stations(stations),
      m_order(order),
      m_steadyMillis(std::move(steadyMillis)),
      m_onCommand(std::move(onCommand)) {}

bool RegisterAnswerer::locate(int address, int count, std::size_t& station, int& first) const {
    if (m_unit == 0 || m_unit == kAllStationsUnit) {
        station = static_cast<std::size_t>(address / kStationSpan);
        first = address % kStationSpan;
    } else {
        station = m_unit - 1U;
        first = address;
    }
    return station < m_stations.size() && count >= 1 && first + count <= kStationRegisters;
}

std::optional<QModbusExceptionResponse::ExceptionCode> RegisterAnswerer::refusedWrite(
    const QModbusRequest& request) const {
    quint16 address = 0;
    quint16 value = 0;  // function 6: the value; 16: the count
    if (request.dataSize() < 4) {
        return QModbusExceptionResponse::IllegalDataValue;
    }
    request.decodeData(&address, &value);
    std::size_t station = 0;
    int first = 0;
    if (!locate(address, 1, station, first) ||
        (first != kCommandRegister && first != kCommandRegister + 1)) {
        return QModbusExceptionResponse::IllegalDataAddress;
    }
    // A command is taken only with its sequence, in one write: never half of one.
    if (request.functionCode() == QModbusPdu::WriteSingleRegister || first != kCommandRegister) {
        return QModbusExceptionResponse::IllegalDataAddress;
    }
    if (value != 2) {
        return value == 0 ? QModbusExceptionResponse::IllegalDataValue
                          : QModbusExceptionResponse::IllegalDataAddress;
    }
    // address, count, byte count, then the command: 1 zero, 2 tare, 3 clear tare.
    const QByteArray data = request.data();
    if (data.size() == 9) {
        const auto command = static_cast<quint16>((quint8(data[5]) << 8) | quint8(data[6]));
        if (command < 1 || command > 3) {
            return QModbusExceptionResponse::IllegalDataValue;
        }
    }
    return std::nullopt;  // Qt's server checks the byte count
}

QModbusResponse RegisterAnswerer::answer(quint8 unit, const QModbusRequest& request) {
    const auto code = request.functionCode();
    if (unit != 0 && unit != kAllStationsUnit && unit > m_stations.size()) {
        return QModbusExceptionResponse(code, QModbusExceptionResponse::GatewayPathUnavailable);
    }
    m_unit = unit;
    switch (code) {
    case QModbusPdu::ReadHoldingRegisters:
    case QModbusPdu::ReadInputRegisters:
        break;
    case QModbusPdu::WriteSingleRegister:
    case QModbusPdu::WriteMultipleRegisters:
        if (const auto refused = refusedWrite(request)) {
            return QModbusExceptionResponse(code, *refused);
        }
        break;
    default:
        return QModbusExceptionResponse(code, QModbusExceptionResponse::IllegalFunction);
    }
    return processRequest(request);
}

bool RegisterAnswerer::readData(QModbusDataUnit* data) const {
    std::size_t station = 0;
    int first = 0;
    const auto count = static_cast<int>(data->valueCount());
    if (!locate(data->startAddress(), count, station, first)) {
        return false;
    }
    const auto registers = m_stations[station].read(m_steadyMillis(), m_order);
    QList<quint16> values;
    values.reserve(count);
    for (int i = 0; i < count; ++i) {
        values.append(registers[static_cast<std::size_t>(first + i)]);
    }
    data->setValues(values);
    return true;
}

bool RegisterAnswerer::writeData(const QModbusDataUnit& data) {
    // refusedWrite let only 20-21 of one station through.
    std::size_t station = 0;
    int first = 0;
    if (data.valueCount() != 2 || !locate(data.startAddress(), 2, station, first)) {
        return false;
    }
    m_onCommand(station, data.value(0), data.value(1));
    return true;
}

}  // namespace scaleread
