#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/indicator-sim/spokenformat.h"
#include "tools/indicator-sim/indicatorstate.h"

namespace indicatorsim {

// The state as the format can show it: a weight too wide for its field counts as an overload.
IndicatorState asShown(const SpokenFormat& format, IndicatorState state);

// The weight frame for `state`. A weight too wide for the format's field goes out as an
// overload, as the indicator's display would show it.
std::string renderFrame(const SpokenFormat& format, const IndicatorState& state,
                        const FormatSettings& settings);

// The weight as the tool should read it from that frame: "-12.345kg", "overload", or "-" for a
// frame with a status instead of a weight.
std::string frameText(const SpokenFormat& format, const IndicatorState& state);

// Whether a magnitude of `units` at `decimals` fits the format's weight field.
bool fitsField(const SpokenFormat& format, std::uint64_t units, int decimals);

// The text right-aligned in `width` characters.
std::string padLeft(std::string text, std::size_t width, char fill = ' ');

// "-12.345" for -12345 units at 3 decimals.
std::string signedText(std::int64_t units, int decimals);

// "12.345" for 12345 units at 3 decimals, "0.005" for 5; no sign.
std::string magnitudeText(std::uint64_t units, int decimals);

// The 7-bit two's complement of the sum of the bytes' 7-bit values.
std::uint8_t toledoChecksum(std::string_view bytes);

// Each format's frame renderer, for the format table. State's overCapacity is set for any
// weight the frame cannot carry.
std::string renderToledo(const IndicatorState& state, const FormatSettings& settings);
std::string renderSics(const IndicatorState& state, const FormatSettings& settings);
std::string renderAd(const IndicatorState& state, const FormatSettings& settings);
std::string renderSbi(const IndicatorState& state, const FormatSettings& settings);
std::string renderSma(const IndicatorState& state, const FormatSettings& settings);
std::string renderRiceLake(const IndicatorState& state, const FormatSettings& settings);
std::string renderCardinal(const IndicatorState& state, const FormatSettings& settings);
std::string renderWeighTronix(const IndicatorState& state, const FormatSettings& settings);
std::string render8217(const IndicatorState& state, const FormatSettings& settings);

// Toledo's checksum byte made wrong, when there is one.
bool spoilToledoChecksum(std::string& frame, const FormatSettings& settings);

// SMA's reply with another status character (E zero refused, T tare refused).
std::string smaFrame(const IndicatorState& state, char status);

// 8217's status reply with more status bits (bit 3: outside the zero range).
std::string status8217(const IndicatorState& state, unsigned extraBits);

}  // namespace indicatorsim
