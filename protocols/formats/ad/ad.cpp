#include "protocols/formats/formatunit.h"
#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

struct Header {
    std::string_view code;
    StatusMeaning meaning;
};

constexpr Header kFirst[] = {
    {"ST", StatusMeaning::Steady},
    {"US", StatusMeaning::Moving},
    {"OL", StatusMeaning::OutOfRange},
    {"QT", StatusMeaning::Gross},  // a count: no word on motion
};
constexpr Header kSecond[] = {
    {"GS", StatusMeaning::Gross},
    {"NT", StatusMeaning::Net},
    {"TR", StatusMeaning::Tare},
};

template <std::size_t N>
const Header* headerNamed(std::string_view code, const Header (&headers)[N]) {
    for (const Header& header : headers) {
        if (header.code == code) {
            return &header;
        }
    }
    return nullptr;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

FrameReading decodeCommaLine(std::span<const std::uint8_t> frame) {
    FrameReading reading;
    std::string_view line = frameText(bodyOf(frame, 0));
    const Header* first = line.size() > 3 && line[2] == ',' ? headerNamed(line.substr(0, 2), kFirst)
                                                            : nullptr;
    if (first == nullptr) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    line.remove_prefix(3);
    if (line.size() > 3 && line[2] == ',' && isLetter(line[0]) && isLetter(line[1])) {
        const Header* second = headerNamed(line.substr(0, 2), kSecond);
        if (second == nullptr) {
            reading.error = FrameError::Malformed;
            return reading;
        }
        reading.mode = second->meaning == StatusMeaning::Net    ? WeighMode::Net
                       : second->meaning == StatusMeaning::Tare ? WeighMode::Tare
                                                                : WeighMode::Gross;
        line.remove_prefix(3);
    }
    // The value (8 or 9 characters) and the unit (2 or 3, spaces allowed) share what is left.
    if (line.size() < 10 || line.size() > 12) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    if (first->meaning == StatusMeaning::OutOfRange) {
        reading.error = line.find('-') != std::string_view::npos ? FrameError::Underload
                                                                  : FrameError::Overload;
        return reading;
    }
    std::size_t unitAt = line.find_first_not_of("+- 0123456789.,");
    if (unitAt == std::string_view::npos || unitAt < 8) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    // Spaces before the unit belong to it ("  g").
    while (unitAt > 8 && line[unitAt - 1] == ' ') {
        --unitAt;
    }
    DecimalField field;
    if (!readDecimalField(line.substr(0, unitAt), field)) {
        reading.error = FrameError::Malformed;
        return reading;
    }
    reading.value = field.value;
    reading.decimals = field.decimals;
    reading.unit = trimmed(line.substr(unitAt));
    if (first->meaning != StatusMeaning::Gross) {
        reading.motion = first->meaning == StatusMeaning::Moving ? Motion::Moving : Motion::Steady;
    }
    return reading;
}

namespace {

std::string renderAd(const IndicatorState& state, const FormatSettings&) {
    const char* stability = state.overCapacity ? "OL" : state.motion ? "US" : "ST";
    const char sign = state.shown < 0 && !state.overCapacity ? '-' : '+';
    return std::string(stability) + (state.net ? ",NT," : ",GS,") + sign +
           padLeft(shownMagnitude(state), 7, '0') + "kg\r\n";
}

// Zero and tare are carried out silently; their effect shows in the next lines.
std::string answerAd(RequestKind kind, bool, const IndicatorState& state,
                     const FormatSettings& settings) {
    return kind == RequestKind::Weight ? renderAd(state, settings) : std::string();
}

using enum RequestKind;
constexpr RequestWord kRequests[] = {{"Q", Weight}, {"R", Zero}, {"T", Tare}};

constexpr std::string_view kFormatName = "ad";

const GoldenFrame kGolden[] = {
    {.state = {.shown = 12345, .gross = 12345, .decimals = 3},
     .bytes = "ST,GS,+012.345kg\r\n",
     .reading = "12.345 kg gross steady"},
    {.state = {.shown = -125, .gross = 875, .tare = 1000, .decimals = 1, .net = true,
               .motion = true},
     .bytes = "US,NT,-00012.5kg\r\n",
     .reading = "-12.5 kg net moving"},
    // From the A&D OP-05 instruction manual, "Output data", the examples of the A&D standard
    // format: gross, unstable, tare, and plus overflow.
    {.state = {.shown = 12345, .gross = 12345},
     .bytes = "ST,GS,+0012345kg\r\n",
     .reading = "12345 kg gross steady"},
    {.state = {.shown = 12345, .gross = 12345, .decimals = 2, .motion = true},
     .bytes = "US,GS,+0123.45kg\r\n",
     .reading = "123.45 kg gross moving"},
    {.bytes = "ST,TR,+0002345kg\r\n", .reading = "2345 kg tare steady", .onlyRead = true},
    {.bytes = "OL,GS,+    .  kg\r\n", .reading = "error overload", .onlyRead = true},
};

}  // namespace

// Streams, and answers its read request too.
const FormatUnit& adUnit() {
    static const FormatUnit unit{
        .format = {.name = kFormatName,
                   .summary = "\"ST,GS,+0012.34kg\" lines, unasked",
                   .framing = kLineFraming,
                   .decode = decodeCommaLine,
                   .zero = {"R\r\n", ""},
                   .tare = {"T\r\n", ""}},
        .speaking = {.name = kFormatName,
                     .render = renderAd,
                     .frameLength = 18,
                     .valueCharacters = 7,
                     .framing = RequestFraming::Line,
                     .requests = kRequests,
                     .answer = answerAd},
        .speakingHelp = "\"ST,GS,+012.345kg\" lines (US in motion, OL over capacity, NT net),\n"
                        "sent unasked; answers Q with one; R zeroes and T tares silently",
        .golden = kGolden};
    return unit;
}

}  // namespace scale
