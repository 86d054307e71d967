#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocols/window/decoderesult.h"
#include "protocols/window/frames.h"

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

// Why a frame that ended was not shown.
enum class FrameError {
    None,
    Checksum,    // the two checksum digits do not match the bytes they cover
    Decimals,    // the decimals field is not 0 to 4
    Overflow,    // the thousands digit is outside what the 16-bit product holds
    Incomplete,  // the frame was cut short, or never ended
    // Frames of the other formats.
    Malformed,       // the frame does not read as its format
    Overload,        // the indicator says it is over capacity: no weight
    Underload,       // ... under zero or under capacity: no weight
    Motion,          // the indicator sends no weight while the load moves
    Busy,            // the indicator cannot answer now
    IndicatorError,  // the indicator reports an error, in its own words
    Reply,           // the answer to a command, not a weight
};

// True when the checksum digits in `rxFrame` match the bytes they cover.
bool weightChecksumMatches(const RxFrameBytes& rxFrame, const WeightFrameLayout& layout);

// The weight fields of a frame whose checksum matched.
struct WeightFields {
    FrameError error = FrameError::None;  // Overflow or Decimals when refused
    // The digits' value over 10 to the decimals, the sign byte not applied: what the readout
    // keeps as its weight value. Set for Decimals too, unset for Overflow.
    double value = 0;
    int decimals = 0;
    bool minusSign = false;  // the sign byte is "-"
    std::string text;        // with None: the caption before the sign step, "12.345kg"
};

// Reads sign, digits and decimals as the readout does: each digit byte counts as its code minus
// 48, so spaces are digits too.
WeightFields readWeightFields(const RxFrameBytes& rxFrame, const WeightFrameLayout& layout,
                              std::string_view decimalSeparator = ".");

// Captures the first 0x02 ... 0x03 frame of `chunk` into `rxFrame`, checks its checksum and, when
// it differs from what rxFrame held, decodes the weight into `weightValue` (the magnitude; the
// sign byte only prefixes the caption).
DecodeResult decodeWeightFrame(std::span<const std::uint8_t> chunk, const WeightFrameLayout& layout,
                               RxFrameBytes& rxFrame, double& weightValue,
                               std::string_view decimalSeparator = ".");

}  // namespace scale
