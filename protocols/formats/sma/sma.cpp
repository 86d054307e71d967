#include <string>

#include "protocols/formats/formatunit.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

using M = StatusMeaning;

// Status: centre of zero or nothing says no more than that the weight is valid; the motion
// column, read after it, says whether it moves.
constexpr StatusCode kStatus[] = {
    {' ', M::Steady},         {'Z', M::Steady},         {'O', M::Overload},
    {'U', M::Underload},      {'E', M::IndicatorError}, {'I', M::IndicatorError},
    {'T', M::IndicatorError}};
constexpr StatusCode kModes[] = {{'G', M::Gross}, {'T', M::Tare}, {'N', M::Net}};
constexpr StatusCode kMotion[] = {{' ', M::Steady}, {'M', M::Moving}};

// The weight reply with the status character given (E zero refused, T tare refused).
std::string smaFrame(const IndicatorState& state, char status) {
    return std::string("\n") + status + '1' + grossOrNet(state) + (state.motion ? 'M' : ' ') + ' ' +
           padLeft(signedShown(state), 10) + "kg \r";
}

std::string renderSma(const IndicatorState& state, const FormatSettings&) {
    return smaFrame(state, state.overCapacity ? 'O' : centreOfZero(state) ? 'Z' : ' ');
}

// Every command is answered with a weight reply; a refused one carries the error status, E for
// zero and T for tare.
std::string answerSma(RequestKind kind, bool done, const IndicatorState& state,
                      const FormatSettings& settings) {
    switch (kind) {
        case RequestKind::Weight:
        case RequestKind::StableWeight:
            return renderSma(state, settings);
        case RequestKind::Zero:
            return done ? renderSma(state, settings) : smaFrame(state, 'E');
        case RequestKind::Tare:
        case RequestKind::ClearTare:
            return done ? renderSma(state, settings) : smaFrame(state, 'T');
        case RequestKind::Unknown:
            return "\n?\r";
    }
    return {};
}

using enum RequestKind;
constexpr RequestWord kRequests[] = {{"W", Weight}, {"Z", Zero}, {"T", Tare}, {"C", ClearTare}};

constexpr std::string_view kFormatName = "sma";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "\n 1G      12.345kg \r",
     .reading = "12.345 kg gross steady"},
    {.state = {.shown = -250, .gross = 750, .tare = 1000, .decimals = 2, .net = true,
               .motion = true},
     .bytes = "\n 1NM      -2.50kg \r",
     .reading = "-2.50 kg net moving"},
    {.state = {.overCapacity = true}, .bytes = "\nO1G           0kg \r", .reading = "error overload"},
    // From the Sartorius PR 5220 Instrument Manual, "SMA Protocol", "Standard Reply", the
    // examples for LF R CR and LF Z CR (the weight in the ten characters the section fixes).
    {.state = {.shown = 7025, .gross = 7025, .decimals = 3},
     .bytes = "\n 1G       7.025kg \r",
     .reading = "7.025 kg gross steady"},
    {.state = {.shown = 7650, .gross = 7650, .decimals = 3, .motion = true},
     .bytes = "\n 1GM      7.650kg \r",
     .reading = "7.650 kg gross moving"},
    {.bytes = "\nZ1G       0.000lb \r", .reading = "0.000 lb gross steady", .onlyRead = true},
};

}  // namespace

const FormatUnit& smaUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "asks LF W CR, reads LF status mode value unit CR",
                   .framing = {FramingKind::Delimited, '\n', "\r", 24, false},
                   .columns = {.length = 20,
                               .value = {6, 10},
                               .unit = {16, 3},
                               .status = {1, 1},
                               .mode = {3, 1},
                               .motion = {4, 1},
                               .statusCodes = kStatus,
                               .modeCodes = kModes,
                               .motionCodes = kMotion,
                               .reply = "\n?\r"},
                   .request = "\nW\r",
                   .zero = {"\nZ\r", ""},
                   .tare = {"\nT\r", ""},
                   .clearTare = {"\nC\r", ""}},
        .speaking = {.name = kFormatName,
                     .render = renderSma,
                     .frameLength = 20,
                     .valueCharacters = 9,
                     .asked = true,
                     .framing = RequestFraming::LfCr,
                     .requests = kRequests,
                     .answer = answerSma},
        .speakingHelp = "answers LF W CR with LF, status (Z centre of zero, O over capacity),\n"
                        "1, G or N, M in motion, a space, the weight in 10, \"kg \", CR; LF Z CR,\n"
                        "LF T CR and LF C CR zero, tare and clear the tare and answer the same\n"
                        "way; any other command LF ? CR",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
