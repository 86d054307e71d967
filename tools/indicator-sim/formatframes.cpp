#include "tools/indicator-sim/formatframes.h"

#include <algorithm>
#include <utility>

namespace indicatorsim {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

std::uint64_t magnitudeOf(std::int64_t units) {
    return units < 0 ? static_cast<std::uint64_t>(-units) : static_cast<std::uint64_t>(units);
}

// The shown weight's magnitude, or zero when there is no weight to show.
std::string shownMagnitude(const IndicatorState& state) {
    return magnitudeText(state.overCapacity ? 0 : magnitudeOf(state.shown), state.decimals);
}

std::string signedShown(const IndicatorState& state) {
    return signedText(state.overCapacity ? 0 : state.shown, state.decimals);
}

char polarity(const IndicatorState& state) {
    return state.shown < 0 && !state.overCapacity ? '-' : ' ';
}

char grossOrNet(const IndicatorState& state) {
    return state.net ? 'N' : 'G';
}

bool centreOfZero(const IndicatorState& state) {
    return state.gross == 0 && !state.motion;
}

// Toledo's six digits without a point, leading zeros blank down to the first digit before it.
std::string toledoDigits(std::uint64_t units, int decimals) {
    std::string digits = padLeft(std::to_string(units % 1'000'000u), 6, '0');
    const auto kept = static_cast<std::size_t>(std::clamp(decimals, 0, 4) + 1);
    for (std::size_t i = 0; i + kept < digits.size() && digits[i] == '0'; ++i) {
        digits[i] = ' ';
    }
    return digits;
}

char asciiBits(unsigned base, unsigned bits) {
    return static_cast<char>(base | bits);
}

}  // namespace

std::string padLeft(std::string text, std::size_t width, char fill) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), fill);
    }
    return text;
}

std::string signedText(std::int64_t units, int decimals) {
    return (units < 0 ? "-" : "") + magnitudeText(magnitudeOf(units), decimals);
}

std::string magnitudeText(std::uint64_t units, int decimals) {
    const auto places = static_cast<std::size_t>(std::clamp(decimals, 0, 4));
    std::string digits = padLeft(std::to_string(units), places + 1, '0');
    if (places > 0) {
        digits.insert(digits.size() - places, 1, '.');
    }
    return digits;
}

bool fitsField(const SpokenFormat& format, std::uint64_t units, int decimals) {
    std::size_t characters = magnitudeText(units, decimals).size();
    if (!format.pointInField && decimals > 0) {
        --characters;
    }
    return std::cmp_less_equal(characters, format.valueCharacters);
}

IndicatorState asShown(const SpokenFormat& format, IndicatorState state) {
    state.overCapacity =
        state.overCapacity || !fitsField(format, magnitudeOf(state.shown), state.decimals);
    return state;
}

std::string renderFrame(const SpokenFormat& format, const IndicatorState& state,
                        const FormatSettings& settings) {
    return format.render(asShown(format, state), settings);
}

std::string frameText(const SpokenFormat& format, const IndicatorState& state) {
    if (asShown(format, state).overCapacity) {
        return "overload";
    }
    if (format.sendsUnderload && state.underCapacity) {
        return "underload";
    }
    if (format.weightOnlyWhenSteady && (state.motion || state.shown < 0)) {
        return "-";
    }
    return signedShown(state) + std::string(format.unit);
}

std::uint8_t toledoChecksum(std::string_view bytes) {
    unsigned sum = 0;
    for (const char c : bytes) {
        sum += static_cast<unsigned char>(c) & 0x7Fu;
    }
    return static_cast<std::uint8_t>((0x80u - (sum & 0x7Fu)) & 0x7Fu);
}

// STX, SWA, SWB, SWC, six digits of weight, six of tare, CR, and the checksum when enabled.
std::string renderToledo(const IndicatorState& state, const FormatSettings& settings) {
    constexpr unsigned kIncrementOne = 1u << 3;
    const auto point = static_cast<unsigned>(2 + std::clamp(state.decimals, 0, 4));
    unsigned swb = 1u << 4;  // kg
    swb |= state.net ? 1u : 0u;
    swb |= state.shown < 0 && !state.overCapacity ? 2u : 0u;
    swb |= state.overCapacity ? 4u : 0u;
    swb |= state.motion ? 8u : 0u;
    std::string frame{kStx};
    frame += asciiBits(0x20u, kIncrementOne | point);
    frame += asciiBits(0x20u, swb);
    frame += asciiBits(0x20u, 0);
    frame += toledoDigits(state.overCapacity ? 0 : magnitudeOf(state.shown), state.decimals);
    frame += toledoDigits(state.net ? magnitudeOf(state.tare) : 0, state.decimals);
    frame += '\r';
    if (settings.toledoChecksum) {
        frame += static_cast<char>(toledoChecksum(frame));
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

std::string renderSics(const IndicatorState& state, const FormatSettings&) {
    if (state.overCapacity) {
        return "S +\r\n";
    }
    return std::string("S ") + (state.motion ? 'D' : 'S') + ' ' + padLeft(signedShown(state), 10) +
           " kg\r\n";
}

std::string renderAd(const IndicatorState& state, const FormatSettings&) {
    const char* stability = state.overCapacity ? "OL" : state.motion ? "US" : "ST";
    const char sign = state.shown < 0 && !state.overCapacity ? '-' : '+';
    return std::string(stability) + (state.net ? ",NT," : ",GS,") + sign +
           padLeft(shownMagnitude(state), 7, '0') + "kg\r\n";
}

std::string renderSbi(const IndicatorState& state, const FormatSettings&) {
    if (state.overCapacity) {
        return "H             \r\n";
    }
    const std::string name = state.net ? "N     " : "";
    return name + (state.shown < 0 ? '-' : '+') + ' ' + padLeft(shownMagnitude(state), 8) + ' ' +
           (state.motion ? "   " : "kg ") + "\r\n";
}

std::string smaFrame(const IndicatorState& state, char status) {
    return std::string("\n") + status + '1' + grossOrNet(state) + (state.motion ? 'M' : ' ') + ' ' +
           padLeft(signedShown(state), 10) + "kg \r";
}

std::string renderSma(const IndicatorState& state, const FormatSettings&) {
    return smaFrame(state, state.overCapacity ? 'O' : centreOfZero(state) ? 'Z' : ' ');
}

std::string renderRiceLake(const IndicatorState& state, const FormatSettings&) {
    const char status = state.overCapacity    ? 'O'
                        : state.motion        ? 'M'
                        : centreOfZero(state) ? 'Z'
                                              : ' ';
    return std::string{kStx, polarity(state)} + padLeft(shownMagnitude(state), 7) + 'K' +
           grossOrNet(state) + status + "\r\n";
}

std::string renderCardinal(const IndicatorState& state, const FormatSettings&) {
    const char status = state.overCapacity ? 'O' : state.motion ? 'M' : ' ';
    return std::string{'\r', polarity(state)} + padLeft(shownMagnitude(state), 6) + status +
           " kg " + grossOrNet(state) + "  " + kEtx;
}

// No status: a weight it cannot carry goes out as dashes, as the display shows it.
std::string renderWeighTronix(const IndicatorState& state, const FormatSettings&) {
    const std::string value =
        state.overCapacity ? std::string(6, '-') : padLeft(shownMagnitude(state), 6);
    return std::string{' ', grossOrNet(state), polarity(state)} + value + " kg\r\n";
}

std::string status8217(const IndicatorState& state, unsigned extraBits) {
    unsigned bits = extraBits;
    bits |= state.motion ? 1u : 0u;
    bits |= state.overCapacity ? 2u : 0u;
    bits |= state.shown < 0 && !state.overCapacity ? 4u : 0u;
    bits |= centreOfZero(state) ? 16u : 0u;
    bits |= state.net ? 32u : 0u;
    return std::string{kStx, '?', asciiBits(0x40u, bits), '\r'};
}

std::string render8217(const IndicatorState& state, const FormatSettings&) {
    if (state.motion || state.overCapacity || state.shown < 0) {
        return status8217(state, 0);
    }
    return kStx + shownMagnitude(state) + (state.net ? "N" : "") + '\r';
}

}  // namespace indicatorsim
