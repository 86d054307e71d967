#pragma once

#include <cstdint>
#include <span>

#include "protocols/window/frames.h"

namespace scale {

// Rebuilds the whole command-mode request in `txFrame`: 02 "A" "B", the XOR of "A" and "B" as two
// upper-case hexadecimal digit characters, 03. Returns the six bytes to send in one write.
std::span<const std::uint8_t> buildCommandRequest(TxFrameBytes& txFrame);

// True when `bytes` is exactly one command-mode request (what an indicator answers).
bool isCommandRequest(std::span<const std::uint8_t> bytes);

}  // namespace scale
