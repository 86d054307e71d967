#include "protocols/window/framecapture.h"

#include <charconv>

namespace scale {
namespace {

void render(Capture& capture, std::uint8_t byte) {
    char digits[4];
    capture.decimal.push_back(' ');
    if (byte < 10) {
        capture.decimal.push_back('0');
    }
    auto end = std::to_chars(digits, digits + sizeof digits, byte).ptr;
    capture.decimal.append(digits, end);

    capture.hex.push_back(' ');
    end = std::to_chars(digits, digits + sizeof digits, byte, 16).ptr;
    for (char* c = digits; c != end; ++c) {
        capture.hex.push_back(*c >= 'a' ? static_cast<char>(*c - 'a' + 'A') : *c);
    }

    const char character = static_cast<char>(byte);
    capture.characters.push_back(' ');
    capture.characters.push_back(character);
    capture.reversed.insert(capture.reversed.begin(), character);
}

}  // namespace

Capture captureFrame(std::span<const std::uint8_t> chunk, const CaptureParams& params,
                     RxFrameBytes& rxFrame) {
    Capture capture;
    std::size_t writeIndex = 0;
    for (const std::uint8_t byte : chunk) {
        if (!capture.inFrame) {
            if (byte != params.startByte) {
                continue;
            }
            capture.inFrame = true;
            writeIndex = 1;
            capture.changed = false;
        } else {
            // Checked before RxFrame is touched, so a run-away frame never writes past index 30.
            if (writeIndex >= rxFrame.size()) {
                capture.failed = true;
                return capture;
            }
            if (rxFrame[writeIndex] != byte) {
                capture.changed = true;
                rxFrame[writeIndex] = byte;
            }
            ++writeIndex;
            const bool ends = params.endRule == EndRule::EndByte ? byte == kEtx : writeIndex == 8;
            if (ends) {
                capture.complete = true;
                break;  // the closing byte is stored but not rendered
            }
        }
        render(capture, byte);
    }
    capture.decimal += params.decimalTail;
    capture.hex += params.hexTail;
    capture.characters += params.charTail;
    return capture;
}

}  // namespace scale
