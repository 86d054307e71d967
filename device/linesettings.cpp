#include "device/linesettings.h"

#include <charconv>
#include <limits>

namespace scale {
namespace {

constexpr std::string_view kBlanks = " \t\n\v\f\r";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A whole number of digits alone, with a '+' before them only where `signAllowed`.
std::optional<long> wholeNumber(std::string_view text, bool signAllowed) {
    if (signAllowed && text.starts_with('+')) {
        text.remove_prefix(1);
    }
    long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '-' || result.ec != std::errc{} ||
        result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct ParityLetter {
    char letter;
    Parity parity;
};
constexpr ParityLetter kParityLetters[] = {
    {'N', Parity::None}, {'E', Parity::Even},  {'O', Parity::Odd},
    {'M', Parity::Mark}, {'S', Parity::Space},
};

std::optional<Parity> parityFor(std::string_view text) {
    if (text.size() != 1) {
        return std::nullopt;
    }
    const char letter = text.front() >= 'a' && text.front() <= 'z'
                            ? static_cast<char>(text.front() - 'a' + 'A')
                            : text.front();
    for (const ParityLetter& entry : kParityLetters) {
        if (entry.letter == letter) {
            return entry.parity;
        }
    }
    return std::nullopt;
}

std::optional<StopBits> stopBitsFor(std::string_view text) {
    if (text == "1") {
        return StopBits::One;
    }
    if (text == "1.5") {
        return StopBits::OneAndHalf;
    }
    if (text == "2") {
        return StopBits::Two;
    }
    return std::nullopt;
}

}  // namespace

LineSettingsReading readLineSettings(std::string_view text) {
    LineSettingsReading reading;
    std::array<std::string_view, 4>& fields = reading.fields;
    std::size_t count = 0;
    for (std::string_view rest = text;; ++count) {
        const auto comma = rest.find(',');
        if (count < 4) {
            fields[count] = rest.substr(0, comma);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    const auto refuse = [&reading](LineField field, std::string_view what) {
        reading.refused = field;
        reading.refusedText = what;
        return reading;
    };
    if (count != 3) {
        return refuse(LineField::Fields, text);
    }

    LineSettings settings;
    const auto baud = wholeNumber(trimmed(fields[0]), false);
    if (!baud || *baud <= 0 || *baud > std::numeric_limits<std::int32_t>::max()) {
        return refuse(LineField::Baud, fields[0]);
    }
    settings.baud = static_cast<std::int32_t>(*baud);

    const auto parity = parityFor(trimmed(fields[1]));
    if (!parity) {
        return refuse(LineField::Parity, fields[1]);
    }
    settings.parity = *parity;

    const auto dataBits = wholeNumber(trimmed(fields[2]), true);
    if (!dataBits || *dataBits < 5 || *dataBits > 8) {
        return refuse(LineField::DataBits, fields[2]);
    }
    settings.dataBits = static_cast<int>(*dataBits);

    const auto stopBits = stopBitsFor(trimmed(fields[3]));
    if (!stopBits) {
        return refuse(LineField::StopBits, fields[3]);
    }
    settings.stopBits = *stopBits;
    reading.settings = settings;
    return reading;
}

}  // namespace scale
