#pragma once

#include <span>
#include <string_view>

#include "protocols/formats/encoding.h"
#include "protocols/formats/indicatorreading.h"
#include "protocols/stream/formatdescription.h"

namespace scale {

// Text lines ended by CR, LF or both.
inline constexpr Framing kLineFraming{FramingKind::Delimited, -1, "\r\n", 64, false};

inline constexpr StatusCode kGrossNetCodes[] = {{'G', StatusMeaning::Gross},
                                                {'N', StatusMeaning::Net}};

// A frame the indicator sends for a state, and how the reader reads it back: the encoder must
// reproduce the bytes exactly and the decoder must read them as said. Frames copied from a
// maker's manual say so in a comment naming the manual and its section.
struct GoldenFrame {
    IndicatorState state;
    FormatSettings settings;
    std::string_view bytes;
    // "12.345 kg gross steady tare 0.000", or "error overload"; see tests/protocols.
    std::string_view reading;
    // A maker's example the simulator does not send (another unit, a status it never reports):
    // only read back.
    bool onlyRead = false;
};

// How the simulator sends one of the window's modes: from a reading rather than a state, with
// the readout the window shows for it.
struct ReadingFrames {
    std::string (*encode)(const IndicatorReading&) = nullptr;
    std::string (*readout)(const IndicatorReading&) = nullptr;
    // Whether the frame carries the reading without losing a character.
    bool (*fits)(const IndicatorReading&) = nullptr;
    std::size_t frameLength = 0;
    bool checksum = false;  // carries checksum digits, which the simulator's faults may spoil
};

// Everything about one built-in format: how the reader finds and reads its frames, and how the
// simulator sends them and answers its requests. The window's three modes are sent from a
// reading (`reading.encode`, `speaking.render` null); their golden states give only the shown
// weight and its decimals.
struct FormatUnit {
    FormatDescription format;
    SpokenFormat speaking;
    ReadingFrames reading;
    // What the simulator's --help says after "--protocol NAME", its lines split by "\n".
    std::string_view speakingHelp;
    std::span<const GoldenFrame> golden;
};

}  // namespace scale
