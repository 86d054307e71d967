#include "tools/scale-read/modbus/stationregisters.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

namespace scaleread {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

constexpr std::pair<std::string_view, std::uint16_t> kUnitCodes[] = {
    {"mg", 1}, {"g", 2}, {"kg", 3}, {"t", 8}, {"ozt", 10}, {"oz", 11}, {"lb", 12}};

// "-12.345" with 3 decimals: -12345. Worked out from the digits as sent, never through a
// double, so that the last digit is exact. kNoCounts when it does not fit.
std::int32_t countsOf(const std::string& number) {
    std::string digits;
    for (const char c : number) {
        if (c != '.' && c != '+') {
            digits += c;
        }
    }
    std::int64_t counts = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), counts);
    if (error != std::errc() || end != digits.data() + digits.size() ||
        counts <= std::numeric_limits<std::int32_t>::min() ||
        counts > std::numeric_limits<std::int32_t>::max()) {
        return kNoCounts;
    }
    return static_cast<std::int32_t>(counts);
}

float numberOf(const std::string& text) {
    double value = 0;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? static_cast<float>(value)
                                                                     : kNoValue;
}

void put32(std::uint16_t* at, std::uint32_t value, WordOrder order) {
    const auto high = static_cast<std::uint16_t>(value >> 16);
    const auto low = static_cast<std::uint16_t>(value & 0xFFFFU);
    at[0] = order == WordOrder::HighFirst ? high : low;
    at[1] = order == WordOrder::HighFirst ? low : high;
}

}  // namespace

std::uint16_t unitCode(const std::string& unit) {
    for (const auto& [name, code] : kUnitCodes) {
        if (unit == name) {
            return code;
        }
    }
    return 0;
}

void StationRegisters::frame(const scale::StreamFrame& frame, bool stable,
                             std::int64_t steadyMillis) {
    m_seen = true;
    m_lastMillis = steadyMillis;
    ++m_sequence;
    using scale::FrameError;
    // A command's answer or a busy indicator says nothing of the weight: the last one stands.
    if (frame.error == FrameError::Reply || frame.error == FrameError::Busy) {
        return;
    }
    const bool valid = frame.error == FrameError::None;
    m_status = 0;
    if (valid) {
        m_status |= statusbit::kValid;
        if (stable) {
            m_status |= statusbit::kStable;
        }
    }
    if (frame.motion == scale::Motion::Moving || frame.error == FrameError::Motion) {
        m_status |= statusbit::kMotion;
    }
    if (frame.mode == scale::WeighMode::Net) {
        m_status |= statusbit::kNet;
    }
    if (frame.error == FrameError::Overload) {
        m_status |= statusbit::kOverload;
    }
    if (frame.error == FrameError::Underload) {
        m_status |= statusbit::kUnderload;
    }
    const auto weight = static_cast<float>(frame.weight);
    m_weight = valid ? weight : kNoValue;
    m_counts = valid ? countsOf(frame.number) : kNoCounts;
    m_decimals = static_cast<std::int16_t>(frame.decimals);
    m_unit = unitCode(frame.unit);
    m_tare = !frame.tare.empty()                                   ? numberOf(frame.tare)
             : valid && frame.mode == scale::WeighMode::Tare ? weight
                                                             : kNoValue;
    m_gross = !valid                                        ? kNoValue
              : frame.mode == scale::WeighMode::Gross ? weight
              : frame.mode == scale::WeighMode::Net   ? weight + m_tare  // NaN without a tare
                                                      : kNoValue;
}

std::array<std::uint16_t, kStationRegisters> StationRegisters::read(std::int64_t steadyMillis,
                                                                    WordOrder order) const {
    std::array<std::uint16_t, kStationRegisters> registers{};
    const std::int64_t age = steadyMillis - m_lastMillis;
    // Nothing that looks fresh once frames stop: the weights go, only the stale bit says why.
    const bool stale = !m_seen || age > kWatchdogMillis;
    std::uint16_t status = stale ? statusbit::kStale : m_status;
    if (m_portLost) {
        status |= statusbit::kPortLost;
    }
    put32(&registers[0], std::bit_cast<std::uint32_t>(stale ? kNoValue : m_weight), order);
    put32(&registers[2], std::bit_cast<std::uint32_t>(stale ? kNoValue : m_gross), order);
    put32(&registers[4], std::bit_cast<std::uint32_t>(stale ? kNoValue : m_tare), order);
    put32(&registers[6], static_cast<std::uint32_t>(stale ? kNoCounts : m_counts), order);
    registers[8] = static_cast<std::uint16_t>(m_decimals);
    registers[9] = m_unit;
    registers[10] = status;
    registers[11] = m_sequence;
    registers[12] = static_cast<std::uint16_t>(((steadyMillis - m_startMillis) / 100) & 0xFFFF);
    registers[13] = static_cast<std::uint16_t>(m_seen ? std::clamp<std::int64_t>(age, 0, 0xFFFF)
                                                      : 0xFFFF);
    registers[20] = m_command;
    registers[21] = m_commandSequence;
    registers[22] = static_cast<std::uint16_t>(m_result);
    registers[23] = m_resultSequence;
    return registers;
}

}  // namespace scaleread
