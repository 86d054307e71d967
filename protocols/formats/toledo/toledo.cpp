#include <algorithm>
#include <array>

#include "protocols/formats/formatunit.h"
#include "protocols/formats/toledo/toledocheck.h"
#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

constexpr std::size_t kCrAt = 16;

// SWC bits 0-2; 0 leaves SWB's kg or lb.
constexpr std::array<std::string_view, 8> kSwcUnits = {"",    "g",   "t",         "oz",
                                                       "ozt", "dwt", "long-ton", "custom"};

// Six digits, leading zeros perhaps sent as spaces, placed by SWA bits 0-2.
bool placedDigits(std::span<const std::uint8_t> digits, unsigned place, double& value,
                  int& decimals) {
    DecimalField field;
    const std::string_view text = frameText(digits);
    if (text.find_first_of(".,+-") != std::string_view::npos || !readDecimalField(text, field)) {
        return false;
    }
    static constexpr std::array<double, 8> kScale = {100, 10, 1, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5};
    value = field.value * kScale[place];
    decimals = place >= 3 ? static_cast<int>(place) - 2 : 0;
    return true;
}

}  // namespace

FrameReading decodeToledoFrame(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    if ((frame.size() != kCrAt + 1 && frame.size() != kCrAt + 2) || frame[kCrAt] != '\r') {
        reading.error = FrameError::Malformed;
        return reading;
    }
    if (frame.size() == kCrAt + 2) {
        if (toledoCheckByte(frame.first(kCrAt + 1)) != (frame[kCrAt + 1] & 0x7Fu)) {
            reading.error = FrameError::Checksum;
            return reading;
        }
    }
    const unsigned swa = frame[1];
    const unsigned swb = frame[2];
    const unsigned swc = frame[3];
    const unsigned place = swa & 0x07u;
    const bool negative = (swb & 0x02u) != 0;
    if ((swb & 0x04u) != 0) {
        reading.error = negative ? FrameError::Underload : FrameError::Overload;
        return reading;
    }
    if (!placedDigits(frame.subspan(4, 6), place, reading.value, reading.decimals) ||
        !placedDigits(frame.subspan(10, 6), place, reading.tare, reading.tareDecimals)) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    if (negative && reading.value != 0) {
        reading.value = -reading.value;
    }
    reading.hasTare = true;
    reading.mode = (swb & 0x01u) != 0 ? WeighMode::Net : WeighMode::Gross;
    reading.motion = (swb & 0x08u) != 0 ? Motion::Moving : Motion::Steady;
    const std::string_view override = kSwcUnits[swc & 0x07u];
    reading.unit = !override.empty() ? override : (swb & 0x10u) != 0 ? "kg" : "lb";
    return reading;
}

namespace {

// Six digits without a point, leading zeros blank down to the first digit before it.
std::string toledoDigits(std::uint64_t units, int decimals) {
    std::string digits = padLeft(std::to_string(units % 1'000'000u), 6, '0');
    const auto kept = static_cast<std::size_t>(std::clamp(decimals, 0, 4) + 1);
    for (std::size_t i = 0; i + kept < digits.size() && digits[i] == '0'; ++i) {
        digits[i] = ' ';
    }
    return digits;
}

// STX, SWA, SWB, SWC, six digits of weight, six of tare, CR, and the check byte when enabled.
std::string renderToledo(const IndicatorState& state, const FormatSettings& settings) {
    constexpr unsigned kIncrementOne = 1u << 3;
    const auto point = static_cast<unsigned>(2 + std::clamp(state.decimals, 0, 4));
    unsigned swb = 1u << 4;  // kg
    swb |= state.net ? 1u : 0u;
    swb |= state.shown < 0 && !state.overCapacity ? 2u : 0u;
    swb |= state.overCapacity ? 4u : 0u;
    swb |= state.motion ? 8u : 0u;
    std::string frame{'\x02'};
    frame += asciiBits(0x20u, kIncrementOne | point);
    frame += asciiBits(0x20u, swb);
    frame += asciiBits(0x20u, 0);
    frame += toledoDigits(state.overCapacity ? 0 : magnitudeOf(state.shown), state.decimals);
    frame += toledoDigits(state.net ? magnitudeOf(state.tare) : 0, state.decimals);
    frame += '\r';
    if (settings.toledoChecksum) {
        frame += static_cast<char>(toledoCheckByte(
            {reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size()}));
    }
    return frame;
}

bool spoilToledoChecksum(std::string& frame, const FormatSettings& settings) {
    if (!settings.toledoChecksum || frame.empty()) {
        return false;
    }
    frame.back() = static_cast<char>((static_cast<unsigned char>(frame.back()) + 1u) & 0x7Fu);
    return true;
}

constexpr std::string_view kFormatName = "toledo";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "\x02-0  12345  0000\rU",
     .reading = "12.345 kg gross steady tare 0.000"},
    {.state = {.shown = -1250, .gross = 750, .tare = 2000, .decimals = 2, .net = true,
               .motion = true},
     .bytes = "\x02,;   1250  2000\r`",
     .reading = "-12.50 kg net moving tare 20.00"},
    {.state = {.overCapacity = true},
     .bytes = "\x02*4      0     0\rS",
     .reading = "error overload"},
};

}  // namespace

const FormatUnit& toledoUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "02 SWA SWB SWC weight tare 0D [checksum], unasked",
                   .framing = {FramingKind::Delimited, 0x02, "\r", 18, true},
                   .decode = decodeToledoFrame,
                   .zero = {"Z", ""},
                   .tare = {"T", ""},
                   .clearTare = {"C", ""}},
        .speaking = {.name = kFormatName,
                     .render = renderToledo,
                     .frameLength = 18,
                     .pointInField = false,
                     .spoilCheck = spoilToledoChecksum},
        .speakingHelp = "18-byte frames, sent unasked: 02, status words SWA SWB SWC, six\n"
                        "digits of weight, six of tare (leading zeros as spaces), 0D, and a\n"
                        "checksum byte; SWB says net, negative, out of range, motion, kg",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
