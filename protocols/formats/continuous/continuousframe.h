#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "protocols/formats/indicatorreading.h"

namespace scale {

// Continuous frame: 02, sign, six digits, decimals, two upper-case checksum digits, 03.
std::array<std::uint8_t, 12> encodeContinuousFrame(const IndicatorReading& reading);

// Whether the reading's digits fit the frame's six (nothing is lost).
bool fitsSixDigits(const IndicatorReading& reading);

// Fills the continuous frame's fields into the last 12 bytes of `frame` but keeps the bytes the
// caller put between 02 and them (the command reply's address), which the checksum covers too.
void putContinuousFields(std::span<std::uint8_t> frame, const IndicatorReading& reading);

}  // namespace scale
