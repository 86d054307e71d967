#pragma once

#include <cstdint>
#include <span>

namespace indicatorsim {

// Replaces the checksum digits of a continuous frame or command reply by their lower-case forms,
// a fault some indicators are known for. Digits 0 to 9 have no lower case, so a checksum without a
// letter is returned unchanged; the result says whether anything changed.
bool lowerCaseChecksum(std::span<std::uint8_t> frame);

// Replaces the low checksum digit of a continuous frame or command reply by the next upper-case
// hexadecimal digit ("F" becomes "0"), so that the frame fails its check while every other byte,
// the end byte included, stays as it was.
void spoilChecksum(std::span<std::uint8_t> frame);

}  // namespace indicatorsim
