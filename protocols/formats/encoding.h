#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace scale {

struct UserFormat;

// What an indicator shows at one moment, in whole units of the last decimal place (12.345 kg
// with 3 decimals is 12345), for the formats that report more than a weight.
struct IndicatorState {
    std::int64_t shown = 0;  // net while `net`, else gross; may be negative
    std::int64_t gross = 0;
    std::int64_t tare = 0;
    int decimals = 0;
    bool net = false;
    bool motion = false;
    bool overCapacity = false;  // gross above the capacity: no weight to report
    // Gross below minus the capacity: only a described format with an underload frame sends one.
    bool underCapacity = false;
};

struct FormatSettings {
    bool toledoChecksum = true;
    const UserFormat* user = nullptr;  // the described format being spoken, if any
};

enum class RequestKind { Weight, StableWeight, Zero, Tare, ClearTare, Unknown };

// How a format's requests are cut out of the received bytes.
enum class RequestFraming {
    None,        // streams only, takes no requests
    Line,        // text ended by CR or LF ("SI" CR LF); empty lines are skipped
    LfCr,        // LF, text, CR
    Escape,      // ESC and one letter
    SingleByte,  // one letter
    Exact,       // the request's bytes as they are, with no framing around them
};

struct RequestWord {
    std::string_view text;  // without the framing bytes
    RequestKind kind;
};

// The indicator's side of a format: its weight frame, how far its weight field reaches, and the
// requests it takes and answers.
struct SpokenFormat {
    std::string_view name;
    std::string_view unit = "kg";       // what the readout of its frames ends in
    std::string (*render)(const IndicatorState&, const FormatSettings&) = nullptr;
    std::size_t frameLength = 0;        // a usual frame's bytes, to pace frames to the line
    int valueCharacters = 6;            // the weight field's characters, sign apart
    bool pointInField = true;           // the decimal point takes one of them (Toledo's is implied)
    bool weightOnlyWhenSteady = false;  // frames in motion or below zero carry a status instead
    bool sendsUnderload = false;        // below minus the capacity it sends an underload frame
    bool asked = false;                 // sends its weight when asked; else streams it unasked
    RequestFraming framing = RequestFraming::None;
    std::span<const RequestWord> requests{};
    // The answer to a request of the format's own, once its command has been carried out (done)
    // or refused; "" for none. Null for formats that take no requests.
    std::string (*answer)(RequestKind, bool done, const IndicatorState&,
                          const FormatSettings&) = nullptr;
    // Makes the frame fail its check; false when it carries none. Null for formats without one.
    bool (*spoilCheck)(std::string& frame, const FormatSettings&) = nullptr;
};

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

// Pieces several formats' frames share.
std::uint64_t magnitudeOf(std::int64_t units);
// The shown weight's magnitude, or zero when there is no weight to show.
std::string shownMagnitude(const IndicatorState& state);
std::string signedShown(const IndicatorState& state);
char polarity(const IndicatorState& state);  // '-' or ' '
char grossOrNet(const IndicatorState& state);
bool centreOfZero(const IndicatorState& state);
// A status byte: bits set on a printable base (0x20, 0x40).
char asciiBits(unsigned base, unsigned bits);

}  // namespace scale
