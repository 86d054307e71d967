#include "protocols/fieldtext.h"
#include "protocols/formatdecoders.h"

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

}  // namespace scale
