#pragma once

#include <cstdint>
#include <span>

#include "protocols/formatdescription.h"

namespace scale {

// The decoding functions of the formats whose frames are more than fixed columns. Each reads one
// whole frame as the stream found it.

// 02, SWA, SWB, SWC, six weight digits, six tare digits, 0D, and perhaps a checksum byte.
FrameReading decodeToledoFrame(std::span<const std::uint8_t> frame);
// One reply line of a balance's standard command set: "S S      12.345 kg\r".
FrameReading decodeSicsLine(std::span<const std::uint8_t> frame);
// "ST,GS,+0012.34kg\r".
FrameReading decodeCommaLine(std::span<const std::uint8_t> frame);
// A 16- or 22-character balance line.
FrameReading decodeSbiLine(std::span<const std::uint8_t> frame);
// The point-of-sale reply: 02, the weight or "?" and a status byte, 0D.
FrameReading decodePos8217Frame(std::span<const std::uint8_t> frame);

// A frame whose fields stand in the columns `layout` gives.
FrameReading readColumns(std::span<const std::uint8_t> frame, const ColumnLayout& layout);

// The bytes from the first to the end byte (exclusive), the text fields are read from.
std::span<const std::uint8_t> bodyOf(std::span<const std::uint8_t> frame, std::size_t startBytes);

}  // namespace scale
