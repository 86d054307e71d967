#include "protocols/formats/command/commandreply.h"
#include "protocols/formats/continuous/continuousframe.h"
#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

// The request of the window's command mode: 02 "AB", the XOR of "A" and "B" in hexadecimal, 03.
constexpr std::string_view kRequest{"\x02" "AB03\x03", 6};

std::string encodeReply(const IndicatorReading& reading) {
    return frameString(encodeCommandReply(reading));
}

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .decimals = 3},
     .bytes = "\x02" "AB+0123453" "1A\x03",
     .reading = "12.345 kg"},
    {.state = {.shown = -150, .decimals = 2},
     .bytes = "\x02" "AB-0001502" "18\x03",
     .reading = "-1.50 kg"},
};

}  // namespace

// One of the window's modes: read with the readout's own decoding (`windowMode`).
const FormatUnit& commandUnit() {
    static const FormatUnit unit{
        .format = {.name = "command",
                   .summary = "asks 02 41 42 30 33 03, reads the 14-byte reply",
                   .framing = {FramingKind::StxEtx, 0x02, "\x03", 31, false},
                   .request = kRequest,
                   .windowMode = 1},
        .reading = {.encode = encodeReply,
                    .readout = readingText,
                    .fits = fitsSixDigits,
                    .frameLength = 14,
                    .checksum = true},
        .speakingHelp = "answers each request 02 41 42 30 33 03 with a 14-byte reply:\n"
                        "02, 41, 42, then the continuous frame's fields",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
