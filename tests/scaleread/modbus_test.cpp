#include <gtest/gtest.h>

#include <QDataStream>
#include <array>
#include <tuple>
#include <vector>

#include "tools/scale-read/modbus/modbusoptions.h"
#include "tools/scale-read/modbus/registeranswerer.h"
#include "tools/scale-read/modbus/stationregisters.h"

namespace scaleread {
namespace {

using Registers = std::array<std::uint16_t, kStationRegisters>;

scale::StreamFrame netFrame() {
    scale::StreamFrame frame;
    frame.weight = -12.345;
    frame.decimals = 3;
    frame.number = "-12.345";
    frame.unit = "kg";
    frame.mode = scale::WeighMode::Net;
    frame.motion = scale::Motion::Steady;
    frame.tare = "2.000";
    return frame;
}

TEST(ModbusRegisters, FrameWordOrdersAndWhatAges) {
    StationRegisters station(0);
    // Never read: nothing that looks like a weight.
    EXPECT_EQ(station.read(500, WordOrder::HighFirst),
              (Registers{0x7FC0, 0, 0x7FC0, 0, 0x7FC0, 0, 0x8000, 0, 0, 0, 0x80, 0, 5, 0xFFFF}));
    station.frame(netFrame(), true, 1000);
    EXPECT_EQ(station.read(1250, WordOrder::HighFirst),
              (Registers{0xC145, 0x851F, 0xC125, 0x851F, 0x4000, 0, 0xFFFF, 0xCFC7, 3, 3, 0x0B, 1,
                         12, 250}));
    EXPECT_EQ(station.read(3000, WordOrder::LowFirst),
              (Registers{0x851F, 0xC145, 0x851F, 0xC125, 0, 0x4000, 0xCFC7, 0xFFFF, 3, 3, 0x0B, 1,
                         30, 2000}));
    // Past the watchdog the weights go; the port's loss is told beside it.
    station.setPortLost(true);
    EXPECT_EQ(station.read(3001, WordOrder::HighFirst),
              (Registers{0x7FC0, 0, 0x7FC0, 0, 0x7FC0, 0, 0x8000, 0, 3, 3, 0x180, 1, 30, 2001}));
    // An overload has no weight; a command's answer leaves the last weight standing.
    scale::StreamFrame overload;
    overload.error = scale::FrameError::Overload;
    station.frame(overload, false, 4000);
    scale::StreamFrame reply;
    reply.error = scale::FrameError::Reply;
    station.frame(reply, false, 4100);
    station.setPortLost(false);
    EXPECT_EQ(station.read(70000, WordOrder::HighFirst)[10], statusbit::kStale);
    EXPECT_EQ(station.read(4200, WordOrder::HighFirst),
              (Registers{0x7FC0, 0, 0x7FC0, 0, 0x7FC0, 0, 0x8000, 0, 0, 0, 0x20, 3, 42, 100}));
    EXPECT_EQ(station.read(70000, WordOrder::HighFirst)[13], 0xFFFF);
}

QString answered(RegisterAnswerer& answerer, quint8 unit, QModbusPdu::FunctionCode code,
                 const QByteArray& hex) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << answerer.answer(unit, QModbusRequest(code, QByteArray::fromHex(hex)));
    return QString::fromLatin1(bytes.toHex(' '));
}

TEST(ModbusRegisters, UnitIdsAddressesAndRefusals) {
    std::vector<StationRegisters> stations(2, StationRegisters(0));
    stations[0].frame(netFrame(), true, 0);
    stations[1].setCommand(2, 9);
    std::vector<std::tuple<std::size_t, int, int>> commands;
    RegisterAnswerer answerer(stations, WordOrder::HighFirst, [] { return std::int64_t{100}; },
                              [&](std::size_t station, std::uint16_t command,
                                  std::uint16_t sequence) {
                                  commands.emplace_back(station, command, sequence);
                              });
    using F = QModbusPdu;
    const std::tuple<quint8, F::FunctionCode, const char*, const char*> cases[] = {
        // Station 1 under its unit id and under 0 and 255; station 2 likewise.
        {1, F::ReadHoldingRegisters, "00060003", "03 06 ff ff cf c7 00 03"},
        {255, F::ReadInputRegisters, "00080002", "04 04 00 03 00 03"},
        {0, F::ReadHoldingRegisters, "00080001", "03 02 00 03"},
        {2, F::ReadInputRegisters, "00140002", "04 04 00 02 00 09"},
        {255, F::ReadHoldingRegisters, "00780002", "03 04 00 02 00 09"},
        // Past a station's 24 registers, a station that is not there, an unknown unit id.
        {1, F::ReadHoldingRegisters, "00170002", "83 02"},
        {255, F::ReadHoldingRegisters, "00160004", "83 02"},
        {255, F::ReadHoldingRegisters, "00c80001", "83 02"},
        {3, F::ReadHoldingRegisters, "00000001", "83 0a"},
        {1, F::ReadHoldingRegisters, "00000000", "83 03"},
        {1, F::ReadHoldingRegisters, "0000", "83 03"},
        {1, F::ReadCoils, "00000001", "81 01"},
        // Writes: the command with its sequence in one write, and nothing else.
        {1, F::WriteSingleRegister, "00140001", "86 02"},
        {1, F::WriteSingleRegister, "00000001", "86 02"},
        {1, F::WriteMultipleRegisters, "0000000204 0001 0007", "90 02"},
        {1, F::WriteMultipleRegisters, "00140003060001000700 01", "90 02"},
        {1, F::WriteMultipleRegisters, "001400020400040007", "90 03"},
        {1, F::WriteMultipleRegisters, "0014000203000100", "90 03"},
        {1, F::WriteMultipleRegisters, "001400020400010007", "10 00 14 00 02"},
        {255, F::WriteMultipleRegisters, "007800020400030008", "10 00 78 00 02"},
    };
    for (const auto& [unit, code, request, expected] : cases) {
        EXPECT_EQ(answered(answerer, unit, code, QByteArray(request).replace(' ', "")),
                  QLatin1String(expected))
            << int(unit) << " " << request;
    }
    EXPECT_EQ(commands, (std::vector<std::tuple<std::size_t, int, int>>{{0, 1, 7}, {1, 3, 8}}));
}

TEST(ModbusRegisters, OptionsAreChecked) {
    const auto refusal = [](const QString& tcp, const QString& rtu, const QString& order,
                            const QStringList& allowed) {
        const auto parsed = parseModbusSettings(tcp, rtu, order, allowed, false);
        const auto* error = std::get_if<QString>(&parsed);
        return error ? *error : QStringLiteral("accepted");
    };
    EXPECT_EQ(refusal("0.0.0.0:502", "/dev/ttyUSB1,9600,N,8,1", "cdab", {"10.1.2.0/24"}),
              "accepted");
    EXPECT_EQ(refusal("plc:502", {}, {}, {}),
              "--modbus 'plc:502': 'plc' is not an IP address of this host (IPv6 in brackets)");
    EXPECT_EQ(refusal("70000", {}, {}, {}),
              "--modbus '70000': the port goes from 1 to 65535 (0: any free port)");
    EXPECT_EQ(refusal({}, "/dev/ttyUSB1,9600,N,4,1", {}, {}),
              "--modbus-rtu '/dev/ttyUSB1,9600,N,4,1' is not PORT[,BAUD,PARITY,DATA,STOP] such "
              "as /dev/ttyUSB1,19200,E,8,1");
    EXPECT_EQ(refusal("502", {}, "badc", {}), "--modbus-word-order 'badc' is not abcd or cdab");
    EXPECT_EQ(refusal("502", {}, {}, {"10.1.2.0/33"}),
              "--modbus-allow '10.1.2.0/33' is not an address or a subnet such as 10.1.2.0/24");
}

}  // namespace
}  // namespace scaleread
