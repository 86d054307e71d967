#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "protocols/formats/indicatorreading.h"

namespace scale {

// ShenTong frame: "=" followed by the seven least significant characters of the weight text,
// least significant first. The reader takes only the first six of them, so the text is laid out
// as a six-character weight ("-12.34", "1234.5", "000012") with one leading "0" in seventh place.
// A reading whose text needs more than six characters loses its most significant ones, as it
// would on the indicator's own display.
std::array<std::uint8_t, 8> encodeShenTongFrame(const IndicatorReading& reading);

// The weight as ShenTong shows it ("12kg", "-1.5kg"), for a reading that fits six characters.
std::string shenTongText(const IndicatorReading& reading);

// True when the reading's text, sign and point included, takes at most the six characters a
// ShenTong frame carries, so that encodeShenTongFrame loses nothing: "-12.34" and "1234.5" fit,
// "-123.45" does not, and with four decimals no negative reading does ("-0.0001" is seven).
bool shenTongFits(const IndicatorReading& reading);

}  // namespace scale
