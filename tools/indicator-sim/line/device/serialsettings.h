#pragma once

#include <string_view>

#include "device/linesettings.h"

namespace indicatorsim {

// How a real serial device is set up, "9600,N,8,1": the device layer's settings, of which the
// simulator sends with parity N, E or O and 1 or 2 stop bits.
using SerialSettings = scale::LineSettings;
using scale::Parity;
using scale::StopBits;

// Reads "baud,parity,data,stop" as the device layer does, taking parity N, E or O and stop bits
// 1 or 2 of what it allows. Throws UsageError naming the bad field.
SerialSettings parseSerialSettings(std::string_view text);

// Stop bits on the wire after each byte.
int stopBitCount(const SerialSettings& settings);

// Bits on the wire for one byte: start bit, data bits, parity bit if any, stop bits.
int bitsPerCharacter(const SerialSettings& settings);

}  // namespace indicatorsim
