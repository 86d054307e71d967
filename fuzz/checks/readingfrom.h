#pragma once

#include "fuzz/checks/fuzzinput.h"
#include "protocols/formats/indicatorreading.h"

namespace scale::fuzz {

// A reading the indicator could send: sign, up to six digits, 0 to 4 decimals.
inline IndicatorReading readingFrom(FuzzInput& input) {
    const std::uint8_t flags = input.byte();
    IndicatorReading reading;
    reading.negative = (flags & 1u) != 0;
    reading.decimals = (flags >> 1u) % 5;
    reading.digits = input.word() % 1000000u;
    return reading;
}

// The reading's magnitude as the decoders compute it.
inline double magnitudeOf(const IndicatorReading& reading) {
    double scale = 1.0;
    for (int i = 0; i < reading.decimals; ++i) {
        scale *= 10.0;
    }
    return static_cast<double>(reading.digits) / scale;
}

}  // namespace scale::fuzz
