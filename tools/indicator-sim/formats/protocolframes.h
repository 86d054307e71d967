#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocols/formats/encoding.h"
#include "protocols/formats/indicatorreading.h"

namespace indicatorsim {

// Format: one of the format table's, named by the options' format.
enum class Protocol { Continuous, Command, ShenTong, Format };

using scale::SpokenFormat;

// One frame as it goes on the line, with the readout the receiving tool should show for it.
struct OutgoingFrame {
    std::vector<std::uint8_t> bytes;
    std::string text;  // "-12.345kg"
};

// The continuous frame, the command reply or the ShenTong frame for `reading`.
OutgoingFrame makeFrame(Protocol protocol, const scale::IndicatorReading& reading);

std::size_t frameLength(Protocol protocol);

// ShenTong frames and the table's formats carry no checksum digits, so checksum faults cannot
// apply to them.
bool hasChecksum(Protocol protocol);

// Whether the protocol's frame carries the reading without losing a character: six digits for
// continuous frames and command replies, six characters with sign and point for ShenTong, the
// weight field for a format of the table.
bool readingFits(Protocol protocol, const scale::IndicatorReading& reading,
                 const SpokenFormat* format = nullptr);

}  // namespace indicatorsim
