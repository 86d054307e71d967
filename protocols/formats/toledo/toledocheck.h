#pragma once

#include <cstdint>
#include <span>

namespace scale {

// Toledo's check byte: the 7-bit two's complement of the 7-bit sum of the bytes from STX to CR.
inline std::uint8_t toledoCheckByte(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte & 0x7Fu;
    }
    return static_cast<std::uint8_t>((0x80u - (sum & 0x7Fu)) & 0x7Fu);
}

}  // namespace scale
