#include "protocols/formats/encoding.h"

#include <algorithm>
#include <utility>

namespace scale {

std::uint64_t magnitudeOf(std::int64_t units) {
    return units < 0 ? static_cast<std::uint64_t>(-units) : static_cast<std::uint64_t>(units);
}

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

char asciiBits(unsigned base, unsigned bits) {
    return static_cast<char>(base | bits);
}

std::string padLeft(std::string text, std::size_t width, char fill) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), fill);
    }
    return text;
}

std::string signedText(std::int64_t units, int decimals) {
    // Inserting the sign, rather than adding the digits to "-", keeps GCC 12's -Wrestrict quiet
    // in an optimised build (a false alarm on operator+ of a literal and a temporary string).
    std::string text = magnitudeText(magnitudeOf(units), decimals);
    if (units < 0) {
        text.insert(0, 1, '-');
    }
    return text;
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

}  // namespace scale
