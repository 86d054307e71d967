#include "protocols/formats/formatunit.h"
#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

// "      12.345 kg": the value right-aligned in its field, a space, the unit.
bool readValueAndUnit(std::string_view text, FrameReading& reading) {
    text = trimmed(text);
    const std::size_t space = text.rfind(' ');
    DecimalField field;
    if (space == std::string_view::npos || !readDecimalField(text.substr(0, space), field)) {
        return false;
    }
    reading.value = field.value;
    reading.decimals = field.decimals;
    reading.unit = text.substr(space + 1);
    return true;
}

}  // namespace

FrameReading decodeSicsLine(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    const std::string_view line = frameText(bodyOf(frame, 0));
    reading.message = trimmed(line);
    if (line.size() >= 3 && line[0] == 'S' && line[1] == ' ') {
        switch (line[2]) {
            case 'S':
            case 'D':
                reading.motion = line[2] == 'S' ? Motion::Steady : Motion::Moving;
                if (line.size() > 3 && line[3] == ' ' && readValueAndUnit(line.substr(4), reading)) {
                    reading.message = {};
                    return reading;
                }
                break;
            case 'I':
                reading.error = FrameError::Busy;
                return reading;
            case '+':
                reading.error = FrameError::Overload;
                return reading;
            case '-':
                reading.error = FrameError::Underload;
                return reading;
            default:
                break;
        }
    } else if (line == "ES" || line == "ET" || line == "EL") {
        reading.error = FrameError::IndicatorError;
        return reading;
    } else if (line.starts_with("T S ") && readValueAndUnit(line.substr(4), reading)) {
        // The tare just taken.
        reading.mode = WeighMode::Tare;
        reading.hasTare = true;
        reading.tare = reading.value;
        reading.tareDecimals = reading.decimals;
        reading.message = {};
        return reading;
    } else if (line == "Z A" || line == "Z I" || line == "Z +" || line == "Z -" ||
               line == "T I" || line == "T +" || line == "T -" || line.starts_with("TAC ")) {
        reading.error = FrameError::Reply;
        return reading;
    }
    reading.error = FrameError::Malformed;
    reading.message = {};
    return reading;
}

namespace {

std::string renderSics(const IndicatorState& state, const FormatSettings&) {
    if (state.overCapacity) {
        return "S +\r\n";
    }
    return std::string("S ") + (state.motion ? 'D' : 'S') + ' ' + padLeft(signedShown(state), 10) +
           " kg\r\n";
}

std::string answerSics(RequestKind kind, bool done, const IndicatorState& state,
                       const FormatSettings& settings) {
    // "+" is the scale's own reason for refusing (over capacity), "I" any other.
    const std::string refusal = state.overCapacity ? " +\r\n" : " I\r\n";
    switch (kind) {
        case RequestKind::Weight:
        case RequestKind::StableWeight:
            return renderSics(state, settings);
        case RequestKind::Zero:
            return done ? "Z A\r\n" : "Z" + refusal;
        case RequestKind::Tare:
            return done ? "T S " + padLeft(signedText(state.tare, state.decimals), 10) + " kg\r\n"
                        : "T" + refusal;
        case RequestKind::ClearTare:
            return done ? "TAC A\r\n" : "TAC I\r\n";
        case RequestKind::Unknown:
            return "ES\r\n";
    }
    return {};
}

using enum RequestKind;
constexpr RequestWord kRequests[] = {
    {"SI", Weight}, {"S", StableWeight}, {"Z", Zero}, {"T", Tare}, {"TAC", ClearTare},
};

constexpr std::string_view kFormatName = "sics";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "S S     12.345 kg\r\n",
     .reading = "12.345 kg steady"},
    {.state = {.shown = -500, .gross = -500, .decimals = 2, .motion = true},
     .bytes = "S D      -5.00 kg\r\n",
     .reading = "-5.00 kg moving"},
    {.state = {.overCapacity = true}, .bytes = "S +\r\n", .reading = "error overload 'S +'"},
    // From the maker's operating instructions for its AT balances, "Basic information on data
    // interchange with the balance", command S: its example reply and the refusal it lists
    // (the value right-aligned in the reference manual's ten characters).
    {.bytes = "S S     100.00 g\r\n", .reading = "100.00 g steady", .onlyRead = true},
    {.bytes = "S I\r\n", .reading = "error busy 'S I'", .onlyRead = true},
};

}  // namespace

const FormatUnit& sicsUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "asks SI, reads \"S S     12.345 kg\" or a stream",
                   .framing = kLineFraming,
                   .decode = decodeSicsLine,
                   .request = "SI\r\n",
                   .zero = {"Z\r\n", "Z A"},
                   .tare = {"T\r\n", "T S"},
                   .clearTare = {"TAC\r\n", "TAC A"}},
        .speaking = {.name = kFormatName,
                     .render = renderSics,
                     .frameLength = 19,
                     .valueCharacters = 9,
                     .asked = true,
                     .framing = RequestFraming::Line,
                     .requests = kRequests,
                     .answer = answerSics},
        .speakingHelp = "answers SI (at once) and S (once steady) with \"S S     12.345 kg\"\n"
                        "(S D in motion, S + over capacity); Z gives Z A, T gives T S and the\n"
                        "tare, TAC gives TAC A; an unknown command ES",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
