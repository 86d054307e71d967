// Modbus TCP requests as a client's connection carries them: cut from the stream and answered
// for one to three stations, the first byte choosing how many and the word order. Every request
// cut gets one answer of at most a Modbus PDU's 253 bytes behind its header, and the bytes
// still pending never hold a whole request.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/checks/fuzzcheck.h"
#include "tools/scale-read/modbus/registeranswerer.h"
#include "tools/scale-read/modbus/tcpframing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace scaleread;
    using scale::fuzz::require;
    if (size == 0) {
        return 0;
    }
    std::vector<StationRegisters> stations(1 + data[0] % 3, StationRegisters(0));
    scale::StreamFrame frame;
    frame.weight = 1.5;
    frame.decimals = 1;
    frame.number = "1.5";
    stations[0].frame(frame, true, 0);
    RegisterAnswerer answerer(
        stations, data[0] & 0x80 ? WordOrder::LowFirst : WordOrder::HighFirst,
        [] { return std::int64_t{50}; },
        [&](std::size_t station, std::uint16_t command, std::uint16_t sequence) {
            require(station < stations.size() && command >= 1 && command <= 3,
                    "a command reaches a station only as 1, 2 or 3");
            stations[station].setCommand(command, sequence);
        });
    QByteArray pending(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    TcpRequest request;
    TcpCut cut;
    while ((cut = cutTcpRequest(pending, request)) == TcpCut::Request) {
        const QByteArray answer = tcpAnswer(request, answerer.answer(request.unit, request.request));
        require(answer.size() >= 9 && answer.size() <= 7 + 253, "an answer's size");
        require(static_cast<quint8>(answer[6]) == request.unit, "the answer's unit id");
    }
    require(cut != TcpCut::Partial || pending.size() < 7 + 254, "a whole request left pending");
    return 0;
}
