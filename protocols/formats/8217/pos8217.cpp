#include "protocols/formats/formatunit.h"
#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {

FrameReading decodePos8217Frame(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    std::string_view body = frameText(bodyOf(frame, 1));
    if (body.size() == 2 && body[0] == '?') {
        // No weight: the status byte says why, the first reason that holds.
        const auto status = static_cast<unsigned>(static_cast<unsigned char>(body[1]));
        reading.error = (status & 0x02u) != 0   ? FrameError::Overload
                        : (status & 0x04u) != 0 ? FrameError::Underload
                        : (status & 0x01u) != 0 ? FrameError::Motion
                                                : FrameError::IndicatorError;
        reading.message = body;
        return reading;
    }
    if (!body.empty() && body.back() == 'N') {
        reading.mode = WeighMode::Net;
        body.remove_suffix(1);
    }
    // Some scales put the unit after the weight.
    const std::size_t unitAt = body.find_first_not_of("+- 0123456789.");
    DecimalField field;
    if (!readDecimalField(body.substr(0, unitAt), field) || body.find('.') == std::string_view::npos) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    reading.value = field.value;
    reading.decimals = field.decimals;
    if (unitAt != std::string_view::npos) {
        reading.unit = trimmed(body.substr(unitAt));
    }
    return reading;
}

namespace {

// The status reply, with more status bits than the state gives (bit 3: outside the zero range).
std::string status8217(const IndicatorState& state, unsigned extraBits) {
    unsigned bits = extraBits;
    bits |= state.motion ? 1u : 0u;
    bits |= state.overCapacity ? 2u : 0u;
    bits |= state.shown < 0 && !state.overCapacity ? 4u : 0u;
    bits |= centreOfZero(state) ? 16u : 0u;
    bits |= state.net ? 32u : 0u;
    return std::string{'\x02', '?', asciiBits(0x40u, bits), '\r'};
}

std::string render8217(const IndicatorState& state, const FormatSettings&) {
    if (state.motion || state.overCapacity || state.shown < 0) {
        return status8217(state, 0);
    }
    return '\x02' + shownMagnitude(state) + (state.net ? "N" : "") + '\r';
}

// A zero is carried out silently; a refused one answers with the status "outside the zero range".
std::string answer8217(RequestKind kind, bool done, const IndicatorState& state,
                       const FormatSettings& settings) {
    constexpr unsigned kOutsideZeroRange = 1u << 3;
    if (kind == RequestKind::Weight) {
        return render8217(state, settings);
    }
    if (kind == RequestKind::Zero && !done) {
        return status8217(state, kOutsideZeroRange);
    }
    return {};
}

using enum RequestKind;
constexpr RequestWord kRequests[] = {{"W", Weight}, {"Z", Zero}};

constexpr std::string_view kFormatName = "8217";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "\x02" "12.345\r",
     .reading = "12.345"},
    {.state = {.shown = 500, .gross = 500, .decimals = 2, .motion = true},
     .bytes = "\x02?A\r",
     .reading = "error motion '?A'"},
};

}  // namespace

const FormatUnit& pos8217Unit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "asks W, reads 02 weight 0D or 02 ? status 0D",
                   .framing = {FramingKind::Delimited, 0x02, "\r", 24, false},
                   .decode = decodePos8217Frame,
                   .request = "W",
                   .zero = {"Z", ""}},
        .speaking = {.name = kFormatName,
                     .render = render8217,
                     .frameLength = 9,
                     .valueCharacters = 7,
                     .weightOnlyWhenSteady = true,
                     .asked = true,
                     .framing = RequestFraming::SingleByte,
                     .requests = kRequests,
                     .answer = answer8217},
        .speakingHelp = "answers W with 02, the weight, N while net, 0D; in motion, over\n"
                        "capacity or below zero with 02, \"?\", a status byte, 0D; Z zeroes.\n"
                        "The indicator commonly runs at 9600,E,7,1",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
