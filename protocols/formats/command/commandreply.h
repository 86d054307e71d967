#pragma once

#include <array>
#include <cstdint>

#include "protocols/formats/indicatorreading.h"

namespace scale {

// Command-mode reply: the continuous frame with two address bytes after the start byte, both
// covered by the checksum.
std::array<std::uint8_t, 14> encodeCommandReply(const IndicatorReading& reading,
                                                std::uint8_t address1 = 'A',
                                                std::uint8_t address2 = 'B');

}  // namespace scale
