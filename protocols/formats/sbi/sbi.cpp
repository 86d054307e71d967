#include "protocols/formats/formatunit.h"
#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

constexpr std::size_t kLine = 14;  // sign, space, value 8, space, unit 3
constexpr std::size_t kName = 6;

struct Name {
    std::string_view text;
    WeighMode mode;
};
constexpr Name kNames[] = {{"N", WeighMode::Net}, {"G", WeighMode::Gross}, {"T", WeighMode::Tare}};

}  // namespace

FrameReading decodeSbiLine(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    std::string_view line = frameText(bodyOf(frame, 0));
    const std::string_view whole = trimmed(line);
    if (whole.starts_with("Err")) {
        reading.error = FrameError::IndicatorError;
        reading.message = whole;
        return reading;
    }
    bool status = false;
    if (line.size() == kName + kLine) {
        const std::string_view name = trimmed(line.substr(0, kName));
        status = name == "Stat";
        for (const Name& known : kNames) {
            reading.mode = name == known.text ? known.mode : reading.mode;
        }
        line.remove_prefix(kName);
    }
    // Overload and underload stand alone or in the value's place.
    const std::string_view value = line.size() == kLine ? trimmed(line.substr(0, 10)) : whole;
    if (value == "H" || value == "+ H" || value == "L" || value == "- L") {
        reading.error = value.back() == 'H' ? FrameError::Overload : FrameError::Underload;
        return reading;
    }
    if (status) {
        reading.error = FrameError::IndicatorError;
        reading.message = whole;
        return reading;
    }
    const char sign = line.empty() ? '?' : line[0];
    DecimalField field;
    if (line.size() != kLine || (sign != ' ' && sign != '+' && sign != '-') || line[1] != ' ' ||
        line[10] != ' ' || line.substr(2, 8).find_first_of("+-") != std::string_view::npos ||
        !readDecimalField(line.substr(2, 8), field)) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    reading.value = sign == '-' && field.value != 0 ? -field.value : field.value;
    reading.decimals = field.decimals;
    reading.unit = trimmed(line.substr(11, 3));
    // The balance leaves the unit out while the weight is not stable.
    reading.motion = reading.unit.empty() ? Motion::Moving : Motion::Steady;
    return reading;
}

namespace {

std::string renderSbi(const IndicatorState& state, const FormatSettings&) {
    if (state.overCapacity) {
        return "H             \r\n";
    }
    const std::string name = state.net ? "N     " : "";
    return name + (state.shown < 0 ? '-' : '+') + ' ' + padLeft(shownMagnitude(state), 8) + ' ' +
           (state.motion ? "   " : "kg ") + "\r\n";
}

std::string answerSbi(RequestKind kind, bool, const IndicatorState& state,
                      const FormatSettings& settings) {
    return kind == RequestKind::Weight ? renderSbi(state, settings) : std::string();
}

using enum RequestKind;
constexpr RequestWord kRequests[] = {{"P", Weight}, {"U", Tare}, {"V", Zero}};

constexpr std::string_view kFormatName = "sbi";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "+   12.345 kg \r\n",
     .reading = "12.345 kg steady"},
    {.state = {.shown = -250, .gross = 750, .tare = 1000, .decimals = 2, .net = true},
     .bytes = "N     -     2.50 kg \r\n",
     .reading = "-2.50 kg net steady"},
    // From the Sartorius LE series manual, "Data output format", its example +123.56 g in 16
    // characters and, with the ID code N, in 22.
    {.bytes = "+   123.56 g  \r\n", .reading = "123.56 g steady", .onlyRead = true},
    {.bytes = "N     +   123.56 g  \r\n", .reading = "123.56 g net steady", .onlyRead = true},
};

}  // namespace

const FormatUnit& sbiUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "asks ESC P, reads 16- or 22-character lines",
                   .framing = kLineFraming,
                   .decode = decodeSbiLine,
                   .request = "\x1bP",
                   .zero = {"\x1bV", ""},
                   .tare = {"\x1bU", ""}},
        .speaking = {.name = kFormatName,
                     .render = renderSbi,
                     .frameLength = 16,
                     .valueCharacters = 8,
                     .asked = true,
                     .framing = RequestFraming::Escape,
                     .requests = kRequests,
                     .answer = answerSbi},
        .speakingHelp = "answers ESC P with \"+   12.345 kg \" (H over capacity), \"N     \" in\n"
                        "front while net, the unit blank in motion; ESC U tares, ESC V zeroes",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
