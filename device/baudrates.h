#pragma once

#include <cstdint>

namespace scale {

// The baud list as operators know it, in the order the window offers it, including its two odd
// entries (28400, 152000), which the line sets as custom rates.
inline constexpr std::int32_t kBaudRates[] = {600,   1200,  2400,  4800,   9600,   14400, 19200,
                                              28800, 28400, 57600, 152000, 128000, 256000};

}  // namespace scale
