#include "tools/indicator-sim/serialsettings.h"

#include <charconv>
#include <string>
#include <vector>

#include "tools/indicator-sim/usageerror.h"

namespace indicatorsim {
namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw UsageError("--settings: " + why);
}

long wholeNumber(std::string_view text) {
    long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size()) {
        return -1;
    }
    return value;
}

}  // namespace

SerialSettings parseSerialSettings(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::string_view rest = text;;) {
        const auto comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    if (fields.size() != 4) {
        refuse("expected BAUD,PARITY,DATA,STOP such as 9600,N,8,1, got '" + std::string(text) +
               "'");
    }

    SerialSettings settings;
    settings.baud = wholeNumber(fields[0]);
    if (settings.baud <= 0) {
        refuse("the baud must be a whole number above 0, got '" + std::string(fields[0]) + "'");
    }

    if (fields[1] == "N" || fields[1] == "n") {
        settings.parity = Parity::None;
    } else if (fields[1] == "E" || fields[1] == "e") {
        settings.parity = Parity::Even;
    } else if (fields[1] == "O" || fields[1] == "o") {
        settings.parity = Parity::Odd;
    } else {
        refuse("parity must be N, E or O, got '" + std::string(fields[1]) + "'");
    }

    const long dataBits = wholeNumber(fields[2]);
    if (dataBits < 5 || dataBits > 8) {
        refuse("data bits must be 5 to 8, got '" + std::string(fields[2]) + "'");
    }
    settings.dataBits = static_cast<int>(dataBits);

    const long stopBits = wholeNumber(fields[3]);
    if (stopBits != 1 && stopBits != 2) {
        refuse("stop bits must be 1 or 2, got '" + std::string(fields[3]) + "'");
    }
    settings.stopBits = static_cast<int>(stopBits);
    return settings;
}

int bitsPerCharacter(const SerialSettings& settings) {
    return 1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1) + settings.stopBits;
}

}  // namespace indicatorsim
