#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "protocols/decoderesult.h"
#include "protocols/frames.h"

namespace scale {

// Captures the first "=" frame of `chunk` into `rxFrame` and, when it is complete and differs
// from what rxFrame held, reads the weight from the six characters after "=" taken in reverse
// order. There is no checksum and no separate sign or decimals field.
DecodeResult decodeShenTongFrame(std::span<const std::uint8_t> chunk, RxFrameBytes& rxFrame,
                                 double& weightValue, std::string_view decimalSeparator = ".");

}  // namespace scale
