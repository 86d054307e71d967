#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "protocols/window/frames.h"

namespace scale {

// When a frame is complete.
enum class EndRule {
    EndByte,      // the byte just stored is 0x03
    SeventhByte,  // seven bytes have been stored after the start byte, whatever they are
};

struct CaptureParams {
    std::uint8_t startByte;
    EndRule endRule;
    // Appended to the three renderings after the walk, frame or no frame.
    const char* decimalTail;
    const char* hexTail;
    const char* charTail;
};

// Continuous frames and command replies: 0x02 ... 0x03. The tails stand in for the end byte,
// which the walk stores but does not render.
inline constexpr CaptureParams kStxEtxCapture{kStx, EndRule::EndByte, " 03", " 3", " \x03"};
// ShenTong frames: "=" and seven bytes.
inline constexpr CaptureParams kShenTongCapture{0x3D, EndRule::SeventhByte, " 03", " ", " "};

// What one chunk gave. Nothing here outlives the call; only the caller's RxFrame carries over.
struct Capture {
    // More than 30 bytes followed the start byte: the renderings are not to be shown.
    bool failed = false;
    bool inFrame = false;
    bool complete = false;
    // A stored byte differed from what RxFrame held at its index.
    bool changed = false;
    std::string decimal;     // " 02 43 ... 03"
    std::string hex;         // " 2 2B ... 3"
    std::string characters;  // one byte per character (Latin-1), " \x02 + 0 ..."
    // The rendered bytes, each put in front of the ones before it (ShenTong reads its weight
    // from this).
    std::string reversed;
};

// Walks one received chunk: finds the first frame, stores the bytes after its start byte in
// `rxFrame` from index 1 on (only where they differ, noting that they did), and renders them.
// Only the first frame of a chunk counts; a frame cut off by the end of the chunk stays
// incomplete, though its bytes are stored.
Capture captureFrame(std::span<const std::uint8_t> chunk, const CaptureParams& params,
                     RxFrameBytes& rxFrame);

}  // namespace scale
