#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "protocols/window/weightframe.h"

namespace scale {

// How the frames of a format are found in a byte stream.
enum class FramingKind {
    StxEtx,     // 02 ... 03 of exactly `length` bytes, cut at 31 (continuous, command)
    ShenTong,   // "=" and seven bytes, whatever they are
    Delimited,  // an optional start byte, then up to an end byte
};

struct Framing {
    FramingKind kind = FramingKind::Delimited;
    // The byte a frame begins with, or -1: a frame begins with the first byte that is no end
    // byte, so that the LF of a CR LF line end is skipped between lines.
    int startByte = -1;
    // A frame ends with any one of these bytes.
    std::string_view endBytes = "\r\n";
    // Bytes a frame holds at most, start and end byte included (at most kMaxFrameBytes); a longer
    // one is given up as incomplete.
    std::size_t maxLength = 64;
    // One check byte may follow the end byte; whether it does is learnt from the stream.
    bool trailingCheckByte = false;
};

inline constexpr std::size_t kMaxFrameBytes = 256;

// What the indicator's status says, for one character of a status, mode or motion column.
enum class StatusMeaning : std::uint8_t {
    Steady,          // valid and not moving
    Moving,          // valid, still moving
    OutOfRange,      // over capacity, or under it when the weight is negative
    Overload,
    Underload,
    IndicatorError,  // the indicator reports a fault; the character is its text
    Gross,
    Net,
    Tare,
};

struct StatusCode {
    char code;
    StatusMeaning meaning;
};

struct UnitLetter {
    char code;
    std::string_view unit;
};

// A field's bytes in the frame, counted from its first byte (the start byte, where there is
// one). `length` 0: the frame has no such field; kToEnd: up to the end byte.
struct Column {
    std::uint8_t at = 0;
    std::uint8_t length = 0;
};
inline constexpr std::uint8_t kToEnd = 0xFF;

// A text frame whose fields stand in fixed columns.
struct ColumnLayout {
    std::size_t length = 0;  // of the whole frame, end byte included; 0: any
    Column sign;             // " " or "+" positive, "-" negative
    Column value;            // digits, spaces, a point and perhaps a sign
    Column unit;
    Column status;           // one character each, read through their codes, in this order
    Column mode;
    Column motion;
    std::span<const StatusCode> statusCodes;
    std::span<const StatusCode> modeCodes;
    std::span<const StatusCode> motionCodes;
    std::span<const UnitLetter> unitLetters;  // a one-letter unit column
    std::string_view reply;  // a whole frame that answers an unknown command ("\n?\r")
};

enum class WeighMode : std::uint8_t { None, Gross, Net, Tare };
enum class Motion : std::uint8_t { Unknown, Steady, Moving };

// What a decoder made of one frame: a plain result, with views into the frame's bytes or into
// static text, valid as long as the frame.
struct FrameReading {
    FrameError error = FrameError::None;
    double value = 0;  // signed
    int decimals = 0;
    std::string_view unit;  // as sent (trimmed), or a table's name
    WeighMode mode = WeighMode::None;
    Motion motion = Motion::Unknown;
    bool hasTare = false;
    double tare = 0;
    int tareDecimals = 0;
    // The indicator's own words with IndicatorError, Busy and Reply ("ES", "Err 123").
    std::string_view message;
};

// Reads one frame, start byte to end byte (and a trailing check byte, where the format has one).
using FrameDecodeFunction = FrameReading (*)(std::span<const std::uint8_t> frame);

// A format described elsewhere (a user's pattern): reads a frame as a decode function does.
class FrameMatcher {
public:
    virtual ~FrameMatcher() = default;
    virtual FrameReading read(std::span<const std::uint8_t> frame) const = 0;
};

// A command to the indicator and how its answer reads.
struct IndicatorCommand {
    std::string_view send;  // empty: the indicator has no such command
    std::string_view done;  // the start of the answer that says it was done ("" where none)
};

// One format: how frames are found and read, whether and how the reader asks for them, and the
// indicator's commands. A frame is read by exactly one of `decode`, `matcher` or `columns`; the
// first three rows keep the readout's own decoding (`decode` null and no columns).
struct FormatDescription {
    std::string_view name;     // for --protocol
    std::string_view summary;  // one line for --help
    Framing framing;
    ColumnLayout columns;
    FrameDecodeFunction decode = nullptr;
    const FrameMatcher* matcher = nullptr;
    // Sent to ask for a weight; empty: the indicator sends on its own.
    std::string_view request;
    int pollIntervalMs = 100;  // the next request this long after a reply
    IndicatorCommand zero;
    IndicatorCommand tare;
    IndicatorCommand clearTare;
    // The window's protocol whose readout decoding this row keeps, for the first three rows.
    int windowMode = -1;

    bool asks() const { return !request.empty(); }
};

}  // namespace scale
