#pragma once

#include <cstdint>
#include <span>

#include "protocols/stream/formatdescription.h"

namespace scale {

// A frame whose fields stand in the columns `layout` gives.
FrameReading readColumns(std::span<const std::uint8_t> frame, const ColumnLayout& layout);

// The bytes from the first to the end byte (exclusive), the text fields are read from.
std::span<const std::uint8_t> bodyOf(std::span<const std::uint8_t> frame, std::size_t startBytes);

}  // namespace scale
