#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "protocols/stream/framestream.h"

namespace scaleread {

// How a 32-bit value fills its two registers: high word first ("abcd", the default), or low
// word first ("cdab") for PLCs that read them so.
enum class WordOrder { HighFirst, LowFirst };

// One station's registers, 0 to 23, as a Modbus client reads them.
inline constexpr std::uint16_t kStationRegisters = 24;
inline constexpr std::uint16_t kCommandRegister = 20;  // 20 the command, 21 its sequence
inline constexpr std::uint16_t kResultRegister = 22;   // 22 the result, 23 the sequence it is for

// Register 22.
enum class CommandState : std::uint16_t {
    Idle = 0,
    Busy = 1,
    Done = 2,
    Refused = 3,
    NoAnswer = 4,
    Unsupported = 5,
    NotAllowed = 6
};

// Register 10.
namespace statusbit {
inline constexpr std::uint16_t kValid = 1U << 0;
inline constexpr std::uint16_t kStable = 1U << 1;
inline constexpr std::uint16_t kMotion = 1U << 2;
inline constexpr std::uint16_t kNet = 1U << 3;
inline constexpr std::uint16_t kOverload = 1U << 5;
inline constexpr std::uint16_t kUnderload = 1U << 6;
inline constexpr std::uint16_t kStale = 1U << 7;
inline constexpr std::uint16_t kPortLost = 1U << 8;
}  // namespace statusbit

// Registers 6-7 when there is no weight to count: a value no indicator sends.
inline constexpr std::int32_t kNoCounts = INT32_MIN;

// What a station's frames, its port and its commands put in its registers. The values that age
// (the stale bit, the heartbeat, the age) are worked out at the moment of each read, from the
// steady time given, so that a client never reads a value older than its poll.
class StationRegisters {
public:
    // A frame is stale this long after it came.
    static constexpr std::int64_t kWatchdogMillis = 2000;

    // `startMillis`: the reader's start on the steady clock, where the heartbeat counts from.
    explicit StationRegisters(std::int64_t startMillis) : m_startMillis(startMillis) {}

    void frame(const scale::StreamFrame& frame, bool stable, std::int64_t steadyMillis);
    void setPortLost(bool lost) { m_portLost = lost; }

    // The command registers: what a client wrote to 20-21, and what became of it.
    void setCommand(std::uint16_t command, std::uint16_t sequence) {
        m_command = command;
        m_commandSequence = sequence;
    }
    void setResult(CommandState state, std::uint16_t sequence) {
        m_result = state;
        m_resultSequence = sequence;
    }
    CommandState result() const { return m_result; }
    std::uint16_t resultSequence() const { return m_resultSequence; }

    std::array<std::uint16_t, kStationRegisters> read(std::int64_t steadyMillis,
                                                      WordOrder order) const;

private:
    std::int64_t m_startMillis;
    bool m_seen = false;  // a frame came
    std::int64_t m_lastMillis = 0;
    float m_weight = 0;
    float m_gross = 0;
    float m_tare = 0;
    std::int32_t m_counts = kNoCounts;
    std::int16_t m_decimals = 0;
    std::uint16_t m_unit = 0;
    std::uint16_t m_status = 0;  // from the last frame, without the bits that age
    std::uint16_t m_sequence = 0;
    bool m_portLost = false;
    std::uint16_t m_command = 0;
    std::uint16_t m_commandSequence = 0;
    CommandState m_result = CommandState::Idle;
    std::uint16_t m_resultSequence = 0;
};

// Register 9 for a unit as frames name it: 1 mg, 2 g, 3 kg, 8 t, 10 ozt, 11 oz, 12 lb, 0 other.
std::uint16_t unitCode(const std::string& unit);

}  // namespace scaleread
