#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace indicatorsim {

// The readout the tool shows for `bytes` when they are exactly one intact frame of one of the
// three protocols, decoded as the tool decodes them ("-12.345kg"); otherwise "-". For replayed
// writes, which come without a reading of their own.
std::string frameReadout(std::span<const std::uint8_t> bytes);

}  // namespace indicatorsim
