#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "protocols/formats/encoding.h"

namespace scale {

// One weight as the window's modes send it: up to six digits with 0 to 4 of them after the point.
struct IndicatorReading {
    bool negative = false;
    std::uint32_t digits = 0;  // 0 to 999999; 12345 with 3 decimals is 12.345 kg
    int decimals = 0;          // 0 to 4
};

// The shown weight of `state` as a reading (its other fields play no part in these frames).
IndicatorReading readingOf(const IndicatorState& state);

// The reading as the readout shows it in continuous and command mode, "-12.345kg".
std::string readingText(const IndicatorReading& reading);

// The reading's magnitude with its decimals, "12.345"; digits beyond six are dropped.
std::string readingMagnitude(const IndicatorReading& reading);

// A frame's bytes as text, as the formats' units hand them on.
template <std::size_t N>
std::string frameString(const std::array<std::uint8_t, N>& frame) {
    return {frame.begin(), frame.end()};
}

}  // namespace scale
