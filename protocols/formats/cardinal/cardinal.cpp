#include <string>

#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

using M = StatusMeaning;

constexpr StatusCode kStatus[] = {{' ', M::Steady}, {'M', M::Moving}, {'O', M::OutOfRange}};

std::string renderCardinal(const IndicatorState& state, const FormatSettings&) {
    const char status = state.overCapacity ? 'O' : state.motion ? 'M' : ' ';
    return std::string{'\r', polarity(state)} + padLeft(shownMagnitude(state), 6) + status +
           " kg " + grossOrNet(state) + "  " + '\x03';
}

constexpr std::string_view kFormatName = "cardinal";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "\r 12.345  kg G  \x03",
     .reading = "12.345 kg gross steady"},
    {.state = {.shown = -250, .gross = 750, .tare = 1000, .decimals = 2, .net = true,
               .motion = true},
     .bytes = "\r-  2.50M kg N  \x03",
     .reading = "-2.50 kg net moving"},
};

}  // namespace

const FormatUnit& cardinalUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "0D sign value status unit G/N 03, unasked",
                   .framing = {FramingKind::Delimited, '\r', "\x03", 24, false},
                   .columns = {.length = 17,
                               .sign = {1, 1},
                               .value = {2, 6},
                               .unit = {10, 2},
                               .status = {8, 1},
                               .mode = {13, 1},
                               .statusCodes = kStatus,
                               .modeCodes = kGrossNetCodes}},
        .speaking = {.name = kFormatName, .render = renderCardinal, .frameLength = 17},
        .speakingHelp = "17-byte frames, sent unasked: 0D, polarity, 6 characters of weight,\n"
                        "status (M, O), \" kg \", G or N, two spaces, 03",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
