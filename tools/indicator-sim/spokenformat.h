#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocols/userformats/userformat.h"
#include "tools/indicator-sim/indicatorstate.h"

namespace indicatorsim {

struct FormatSettings {
    bool toledoChecksum = true;
    const scale::UserFormat* user = nullptr;  // the described format being spoken, if any
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

// One indicator format beyond the three built-in protocols: its weight frame, how far its weight
// field reaches, and the requests it takes. Found by name, so that one more format is one more
// row of the table.
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

// Null when no format has that name.
const SpokenFormat* formatNamed(std::string_view name);

std::span<const SpokenFormat> allFormats();

// The formats' names, comma separated, for messages.
std::string formatNames();

}  // namespace indicatorsim
