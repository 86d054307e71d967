#pragma once

#include <cstdint>
#include <span>

#include "fuzz/checks/fuzzinput.h"
#include "protocols/formats/indicatorreading.h"
#include "protocols/window/weightframe.h"

namespace scale::fuzz {

// Decodes `frame`, as the encoder made it for `reading`, from a zeroed RxFrame and requires the
// reading back: the caption of readingText and the magnitude as the weight value.
void checkWeightRoundTrip(std::span<const std::uint8_t> frame, const IndicatorReading& reading,
                          const WeightFrameLayout& layout);

// Takes 31 bytes for RxFrame's earlier contents, then chunks (a length byte and that many bytes)
// until the input ends, and decodes each chunk on the same RxFrame as a reader would. Requires of
// every chunk: RxFrame is touched only at indices 1 to 30; an accepted frame carries the checksum
// of its covered bytes; a shown caption reads back as the weight value; the same chunk again is
// an unchanged frame.
void checkWeightChunks(FuzzInput& input, const WeightFrameLayout& layout);

}  // namespace scale::fuzz
