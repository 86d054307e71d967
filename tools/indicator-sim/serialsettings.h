#pragma once

#include <string_view>

namespace indicatorsim {

enum class Parity { None, Even, Odd };

// How a real serial device is set up, "9600,N,8,1".
struct SerialSettings {
    long baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;
    bool operator==(const SerialSettings&) const = default;
};

// Reads "baud,parity,data,stop": a whole baud above 0 (custom rates included), parity N, E or O
// (either case), data bits 5 to 8, stop bits 1 or 2. Throws UsageError naming the bad field.
SerialSettings parseSerialSettings(std::string_view text);

// Bits on the wire for one byte: start bit, data bits, parity bit if any, stop bits.
int bitsPerCharacter(const SerialSettings& settings);

}  // namespace indicatorsim
