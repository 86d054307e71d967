#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "protocols/decoderesult.h"
#include "protocols/frames.h"

namespace scale {

// Where the fields of a weight frame stand in RxFrame. The command reply is the continuous frame
// with two extra bytes after the start byte, so the same decoder serves both.
struct WeightFrameLayout {
    std::size_t checksumLast;  // the checksum covers indices 1 to this one
    std::size_t sign;
    std::size_t firstDigit;  // six digits from here, most significant first
    std::size_t decimals;
    std::size_t checksumHigh;  // the low checksum digit follows it
};

inline constexpr WeightFrameLayout kContinuousLayout{8, 1, 2, 8, 9};
inline constexpr WeightFrameLayout kCommandReplyLayout{10, 3, 4, 10, 11};

// Captures the first 0x02 ... 0x03 frame of `chunk` into `rxFrame`, checks its checksum and, when
// it differs from what rxFrame held, decodes the weight into `weightValue` (the magnitude; the
// sign byte only prefixes the caption).
DecodeResult decodeWeightFrame(std::span<const std::uint8_t> chunk, const WeightFrameLayout& layout,
                               RxFrameBytes& rxFrame, double& weightValue,
                               std::string_view decimalSeparator = ".");

}  // namespace scale
