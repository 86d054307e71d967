#include "protocols/formats/formatunit.h"
#include "protocols/formats/shentong/shentongframe.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

std::string encodeShenTong(const IndicatorReading& reading) {
    return frameString(encodeShenTongFrame(reading));
}

// The weight's characters last first: "=5.21000" is 12.5, "=5.100-0" is -1.5.
const GoldenFrame kGolden[] = {
    {.state = {.shown = 125, .decimals = 1}, .bytes = "=5.21000", .reading = "12.5 kg"},
    {.state = {.shown = -15, .decimals = 1}, .bytes = "=5.100-0", .reading = "-1.5 kg"},
};

}  // namespace

// One of the window's modes: read with the readout's own decoding (`windowMode`).
const FormatUnit& shentongUnit() {
    static const FormatUnit unit{
        .format = {.name = "shentong",
                   .summary = "\"=\" and seven characters, last first",
                   .framing = {FramingKind::ShenTong, '=', "", 8, false},
                   .windowMode = 2},
        .reading = {.encode = encodeShenTong,
                    .readout = shenTongText,
                    .fits = shenTongFits,
                    .frameLength = 8},
        .speakingHelp = "8-byte frames, sent unasked: \"=\", the weight's characters last first",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
