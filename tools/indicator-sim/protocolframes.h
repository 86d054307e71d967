#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocols/frameencoder.h"

namespace indicatorsim {

enum class Protocol { Continuous, Command, ShenTong };

// One frame as it goes on the line, with the readout the receiving tool should show for it.
struct OutgoingFrame {
    std::vector<std::uint8_t> bytes;
    std::string text;  // "-12.345kg"
};

// The continuous frame, the command reply or the ShenTong frame for `reading`.
OutgoingFrame makeFrame(Protocol protocol, const scale::IndicatorReading& reading);

std::size_t frameLength(Protocol protocol);

// ShenTong frames carry no checksum, so checksum faults cannot apply to them.
bool hasChecksum(Protocol protocol);

// Whether the protocol's frame carries the reading without losing a character: six digits for
// continuous frames and command replies, six characters with sign and point for ShenTong.
bool readingFits(Protocol protocol, const scale::IndicatorReading& reading);

}  // namespace indicatorsim
