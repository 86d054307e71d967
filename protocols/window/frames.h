#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace scale {

// The receive buffer shared by every reader: indices 1 to 30 take the bytes that follow a start
// byte; index 0 is never written by capture. It outlives each chunk so that a repeated frame can be
// recognised as unchanged.
using RxFrameBytes = std::array<std::uint8_t, 31>;

// The six-byte command-mode request, rebuilt whole before every send.
using TxFrameBytes = std::array<std::uint8_t, 6>;

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;

// Character code of one hexadecimal digit, upper case only: 0..9 -> '0'..'9', 10..15 -> 'A'..'F'.
// Indicators send upper-case checksum digits; a lower-case digit therefore never matches.
constexpr std::uint8_t hexDigitCode(unsigned nibble) {
    return static_cast<std::uint8_t>(nibble > 9 ? nibble + 55 : nibble + 48);
}

// XOR of the given bytes, the checksum of both weight frame kinds and of the request.
constexpr std::uint8_t xorChecksum(std::span<const std::uint8_t> bytes) {
    std::uint8_t x = 0;
    for (std::uint8_t b : bytes) {
        x = static_cast<std::uint8_t>(x ^ b);
    }
    return x;
}

}  // namespace scale
