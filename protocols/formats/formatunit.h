#pragma once

#include <span>
#include <string_view>

#include "protocols/formatdescription.h"
#include "protocols/formats/encoding.h"

namespace scale {

// Text lines ended by CR, LF or both.
inline constexpr Framing kLineFraming{FramingKind::Delimited, -1, "\r\n", 64, false};

inline constexpr StatusCode kGrossNetCodes[] = {{'G', StatusMeaning::Gross},
                                                {'N', StatusMeaning::Net}};

// A frame the indicator sends for a state, and how the reader reads it back: the encoder must
// reproduce the bytes exactly and the decoder must read them as said.
struct GoldenFrame {
    IndicatorState state;
    FormatSettings settings;
    std::string_view bytes;
    // "12.345 kg gross steady tare 0.000", or "error overload"; see tests/protocols.
    std::string_view reading;
};

// Everything about one built-in format: how the reader finds and reads its frames, and how the
// simulator sends them and answers its requests. The window's three modes are spoken by the
// simulator's own frame builders (`speaking.render` null).
struct FormatUnit {
    FormatDescription format;
    SpokenFormat speaking;
    // What the simulator's --help says after "--protocol NAME", its lines split by "\n".
    std::string_view speakingHelp;
    std::span<const GoldenFrame> golden;
};

}  // namespace scale
