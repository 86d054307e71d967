#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {

// One of the window's modes: read with the readout's own decoding (`windowMode`), sent by the
// simulator's own frame builder.
const FormatUnit& continuousUnit() {
    static const FormatUnit unit{
        .format = {.name = "continuous",
                   .summary = "02 sign digits decimals checksum 03, unasked",
                   .framing = {FramingKind::StxEtx, 0x02, "\x03", 31, false},
                   .windowMode = 0},
        .speakingHelp = "12-byte frames, sent unasked (default):\n"
                        "02, sign, six digits, decimals, two checksum digits, 03"};
    return unit;
}

}  // namespace scale
