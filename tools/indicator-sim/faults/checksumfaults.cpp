#include "tools/indicator-sim/faults/checksumfaults.h"

#include "protocols/window/frames.h"

namespace indicatorsim {

bool lowerCaseChecksum(std::span<std::uint8_t> frame) {
    if (frame.size() < 4) {
        return false;
    }
    bool changed = false;
    for (std::size_t i = frame.size() - 3; i < frame.size() - 1; ++i) {
        if (frame[i] >= 'A' && frame[i] <= 'F') {
            frame[i] = static_cast<std::uint8_t>(frame[i] + ('a' - 'A'));
            changed = true;
        }
    }
    return changed;
}

void spoilChecksum(std::span<std::uint8_t> frame) {
    if (frame.size() < 4) {
        return;
    }
    std::uint8_t& low = frame[frame.size() - 2];
    unsigned nibble = 0;
    if (low >= '0' && low <= '9') {
        nibble = low - '0';
    } else if (low >= 'A' && low <= 'F') {
        nibble = low - 'A' + 10u;
    } else if (low >= 'a' && low <= 'f') {
        nibble = low - 'a' + 10u;
    }
    low = scale::hexDigitCode((nibble + 1u) & 0x0Fu);
}

}  // namespace indicatorsim
