#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// The --verbose lines, one per event, for tests to parse: milliseconds since the line came up with
// three decimals, the kind of event, then its details.

// "104.113 tx 02 2D 30 31 32 33 34 35 33 31 46 03 -12.345kg"; text "-" for faulty writes.
std::string txLine(Micros at, std::span<const std::uint8_t> bytes, std::string_view text);

// "310.502 rx 02 41 42 30 33 03"
std::string rxLine(Micros at, std::span<const std::uint8_t> bytes);

// "104.113 delivered 9600,N,8,1 F8 08", what the other side received for a write (--line-model),
// with the settings it received at; "-" for nothing.
std::string deliveredLine(Micros at, std::string_view settings,
                          std::span<const std::uint8_t> bytes);

// "310.502 request"
std::string requestLine(Micros at);

// "310.502 request sics SI": a request of one of the table's formats, named.
std::string requestLine(Micros at, std::string_view format, std::string_view name);

// "02 41 42": upper case, one space between bytes.
std::string hexBytes(std::span<const std::uint8_t> bytes);

// "104.113"
std::string millisText(Micros at);

// The text with each byte that `escape` picks written as \xHH.
std::string escapedText(std::string_view text, bool (*escape)(unsigned char byte));

}  // namespace indicatorsim
