#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

// The request of the window's command mode: 02 "AB", the XOR of "A" and "B" in hexadecimal, 03.
constexpr std::string_view kRequest{"\x02" "AB03\x03", 6};

}  // namespace

// One of the window's modes: read with the readout's own decoding (`windowMode`), sent by the
// simulator's own frame builder.
const FormatUnit& commandUnit() {
    static const FormatUnit unit{
        .format = {.name = "command",
                   .summary = "asks 02 41 42 30 33 03, reads the 14-byte reply",
                   .framing = {FramingKind::StxEtx, 0x02, "\x03", 31, false},
                   .request = kRequest,
                   .windowMode = 1},
        .speakingHelp = "answers each request 02 41 42 30 33 03 with a 14-byte reply:\n"
                        "02, 41, 42, then the continuous frame's fields"};
    return unit;
}

}  // namespace scale
