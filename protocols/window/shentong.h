#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocols/window/decoderesult.h"
#include "protocols/window/frames.h"

namespace scale {

// The weight of a ShenTong frame read from `reversedText`, its characters after "=" taken in
// reverse order with "=" after them: the leading number, and the caption in general form.
struct ShenTongFields {
    double value = 0;
    std::string text;  // "12.5kg"
};
ShenTongFields readShenTongFields(std::string_view reversedText,
                                  std::string_view decimalSeparator = ".");

// Captures the first "=" frame of `chunk` into `rxFrame` and, when it is complete and differs
// from what rxFrame held, reads the weight from the six characters after "=" taken in reverse
// order. There is no checksum and no separate sign or decimals field.
DecodeResult decodeShenTongFrame(std::span<const std::uint8_t> chunk, RxFrameBytes& rxFrame,
                                 double& weightValue, std::string_view decimalSeparator = ".");

}  // namespace scale
