#include "protocols/formats/continuous/continuousframe.h"
#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

std::string encodeContinuous(const IndicatorReading& reading) {
    return frameString(encodeContinuousFrame(reading));
}

const GoldenFrame kGolden[] = {
    {.state = {.shown = -12345, .decimals = 3},
     .bytes = "\x02-0123453" "1F\x03",
     .reading = "-12.345 kg"},
    {.state = {.shown = 20}, .bytes = "\x02+0000200" "19\x03", .reading = "20 kg"},
};

}  // namespace

// One of the window's modes: read with the readout's own decoding (`windowMode`).
const FormatUnit& continuousUnit() {
    static const FormatUnit unit{
        .format = {.name = "continuous",
                   .summary = "02 sign digits decimals checksum 03, unasked",
                   .framing = {FramingKind::StxEtx, 0x02, "\x03", 31, false},
                   .windowMode = 0},
        .reading = {.encode = encodeContinuous,
                    .readout = readingText,
                    .fits = fitsSixDigits,
                    .frameLength = 12,
                    .checksum = true},
        .speakingHelp = "12-byte frames, sent unasked (default):\n"
                        "02, sign, six digits, decimals, two checksum digits, 03",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
