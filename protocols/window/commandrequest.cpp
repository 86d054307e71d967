#include "protocols/window/commandrequest.h"

#include <algorithm>

namespace scale {

std::span<const std::uint8_t> buildCommandRequest(TxFrameBytes& txFrame) {
    txFrame[0] = kStx;
    txFrame[1] = 'A';
    txFrame[2] = 'B';
    const auto x = static_cast<std::uint8_t>(txFrame[1] ^ txFrame[2]);
    txFrame[3] = hexDigitCode(x >> 4u);
    txFrame[4] = hexDigitCode(x & 0x0Fu);
    txFrame[5] = kEtx;
    return txFrame;
}

bool isCommandRequest(std::span<const std::uint8_t> bytes) {
    TxFrameBytes request{};
    const auto expected = buildCommandRequest(request);
    return std::ranges::equal(bytes, expected);
}

}  // namespace scale
