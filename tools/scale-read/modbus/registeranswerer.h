#pragma once

#include <QModbusServer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tools/scale-read/modbus/stationregisters.h"

namespace scaleread {

// Answers a Modbus request for the stations' registers under the unit id it came with: station
// k as unit k at 0-23, and every station under unit 0 and 255 at 100(k-1) to 100(k-1)+23.
// Holding registers (function 3) and input registers (4) are the same; only the command and its
// sequence (20-21, one write of both, function 16) may be written. Qt's server answers the
// request's form (counts, byte counts) and the exceptions for them; the transport around it
// (TCP or RTU) is the caller's.
class RegisterAnswerer : public QModbusServer {
public:
    // A client wrote 20-21 of station `station` (0 for the first).
    using CommandWrite =
        std::function<void(std::size_t station, std::uint16_t command, std::uint16_t sequence)>;
    static constexpr quint8 kAllStationsUnit = 255;

    // `stations` and `steadyMillis` outlive the answerer.
    RegisterAnswerer(std::vector<StationRegisters>& stations, WordOrder order,
                     std::function<std::int64_t()> steadyMillis, CommandWrite onCommand);

    // The response to `request`, an exception one where it is refused.
    QModbusResponse answer(quint8 unit, const QModbusRequest& request);

protected:
    bool open() override { return true; }
    void close() override {}
    bool readData(QModbusDataUnit* data) const override;
    bool writeData(const QModbusDataUnit& data) override;

private:
    // The station and its first register that `address`..`address + count - 1` fall in under
    // the unit being answered; false when they are not all one station's.
    bool locate(int address, int count, std::size_t& station, int& first) const;
    std::optional<QModbusExceptionResponse::ExceptionCode> refusedWrite(
        const QModbusRequest& request) const;

    std::vector<StationRegisters>& m_stations;
    WordOrder m_order;
    std::function<std::int64_t()> m_steadyMillis;
    CommandWrite m_onCommand;
    quint8 m_unit = 0;  // of the request being answered
};

}  // namespace scaleread
