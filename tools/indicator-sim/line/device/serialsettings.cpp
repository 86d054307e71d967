#include "tools/indicator-sim/line/device/serialsettings.h"

#include <string>

#include "tools/indicator-sim/cli/usageerror.h"

namespace indicatorsim {
namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw UsageError("--settings: " + why);
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

}  // namespace

SerialSettings parseSerialSettings(std::string_view text) {
    const scale::LineSettingsReading reading = scale::readLineSettings(text);
    const std::string refused = quoted(reading.refusedText);
    switch (reading.refused) {
        case scale::LineField::None:
            break;
        case scale::LineField::Fields:
            refuse("expected BAUD,PARITY,DATA,STOP such as 9600,N,8,1, got " + refused);
        case scale::LineField::Baud:
            refuse("the baud must be a whole number above 0, got " + refused);
        case scale::LineField::Parity:
            refuse("parity must be N, E or O, got " + refused);
        case scale::LineField::DataBits:
            refuse("data bits must be 5 to 8, got " + refused);
        case scale::LineField::StopBits:
            refuse("stop bits must be 1 or 2, got " + refused);
    }
    // The line model sends only these: mark and space parity and 1.5 stop bits are the
    // window's to receive.
    const SerialSettings settings = *reading.settings;
    if (settings.parity == Parity::Mark || settings.parity == Parity::Space) {
        refuse("parity must be N, E or O, got " + quoted(reading.fields[1]));
    }
    if (settings.stopBits == StopBits::OneAndHalf) {
        refuse("stop bits must be 1 or 2, got " + quoted(reading.fields[3]));
    }
    return settings;
}

int stopBitCount(const SerialSettings& settings) {
    return settings.stopBits == StopBits::Two ? 2 : 1;
}

int bitsPerCharacter(const SerialSettings& settings) {
    return 1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1) +
           stopBitCount(settings);
}

}  // namespace indicatorsim
