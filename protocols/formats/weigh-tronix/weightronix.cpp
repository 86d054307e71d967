#include <string>

#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

// No status: a weight it cannot carry goes out as dashes, as the display shows it.
std::string renderWeighTronix(const IndicatorState& state, const FormatSettings&) {
    const std::string value =
        state.overCapacity ? std::string(6, '-') : padLeft(shownMagnitude(state), 6);
    return std::string{' ', grossOrNet(state), polarity(state)} + value + " kg\r\n";
}

constexpr std::string_view kFormatName = "weigh-tronix";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = " G 12.345 kg\r\n",
     .reading = "12.345 kg gross"},
    {.state = {.shown = -250, .gross = 750, .tare = 1000, .decimals = 2, .net = true},
     .bytes = " N-  2.50 kg\r\n",
     .reading = "-2.50 kg net"},
};

}  // namespace

const FormatUnit& weighTronixUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "\" G -  12.34 kg\" lines, unasked, no status",
                   .framing = kLineFraming,
                   .columns = {.sign = {2, 1},
                               .value = {3, 6},
                               .unit = {10, kToEnd},
                               .mode = {1, 1},
                               .modeCodes = kGrossNetCodes}},
        .speaking = {.name = kFormatName, .render = renderWeighTronix, .frameLength = 14},
        .speakingHelp = "14-byte frames, sent unasked: a space, G or N, polarity, 6\n"
                        "characters of weight (dashes over capacity), \" kg\", 0D 0A",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
