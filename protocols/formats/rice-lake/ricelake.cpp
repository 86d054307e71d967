#include <string>

#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

using M = StatusMeaning;

constexpr StatusCode kStatus[] = {
    {' ', M::Steady}, {'Z', M::Steady}, {'M', M::Moving}, {'O', M::OutOfRange},
    {'I', M::IndicatorError}};
constexpr UnitLetter kUnits[] = {{'L', "lb"}, {'K', "kg"}, {'T', "ton"}, {'G', "g"}, {'O', "oz"}};

std::string renderRiceLake(const IndicatorState& state, const FormatSettings&) {
    const char status = state.overCapacity    ? 'O'
                        : state.motion        ? 'M'
                        : centreOfZero(state) ? 'Z'
                                              : ' ';
    return std::string{'\x02', polarity(state)} + padLeft(shownMagnitude(state), 7) + 'K' +
           grossOrNet(state) + status + "\r\n";
}

constexpr std::string_view kFormatName = "rice-lake";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "\x02  12.345KG \r\n",
     .reading = "12.345 kg gross steady"},
    {.state = {.shown = -250, .gross = 750, .tare = 1000, .decimals = 2, .net = true,
               .motion = true},
     .bytes = "\x02-   2.50KNM\r\n",
     .reading = "-2.50 kg net moving"},
};

}  // namespace

const FormatUnit& riceLakeUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "02 sign value unit G/N status 0D, unasked",
                   .framing = {FramingKind::Delimited, 0x02, "\r", 24, false},
                   .columns = {.length = 13,
                               .sign = {1, 1},
                               .value = {2, 7},
                               .unit = {9, 1},
                               .status = {11, 1},
                               .mode = {10, 1},
                               .statusCodes = kStatus,
                               .modeCodes = kGrossNetCodes,
                               .unitLetters = kUnits}},
        .speaking = {.name = kFormatName, .render = renderRiceLake, .frameLength = 14,
                     .valueCharacters = 7},
        .speakingHelp = "14-byte frames, sent unasked: 02, polarity, 7 characters of weight,\n"
                        "K, G or N, status (M motion, O over capacity, Z centre of zero), 0D 0A",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
