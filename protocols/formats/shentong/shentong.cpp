#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {

// One of the window's modes: read with the readout's own decoding (`windowMode`), sent by the
// simulator's own frame builder.
const FormatUnit& shentongUnit() {
    static const FormatUnit unit{
        .format = {.name = "shentong",
                   .summary = "\"=\" and seven characters, last first",
                   .framing = {FramingKind::ShenTong, '=', "", 8, false},
                   .windowMode = 2},
        .speakingHelp = "8-byte frames, sent unasked: \"=\", the weight's characters last first"};
    return unit;
}

}  // namespace scale
