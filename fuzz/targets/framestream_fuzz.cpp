// Every frame of a stream: what the stream reader reports against the readout's decoder run on
// the same frame alone.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/checks/fuzzcheck.h"
#include "fuzz/checks/fuzzinput.h"
#include "fuzz/checks/weightcheck.h"
#include "protocols/stream/framestream.h"
#include "protocols/window/shentong.h"
#include "protocols/window/weightframe.h"

namespace {

using namespace scale;
using fuzz::require;

// The readout's caption for `frame` decoded on its own from a fresh RxFrame, or "" when the
// readout would not show it.
std::string readoutCaption(IndicatorProtocol protocol, std::span<const std::uint8_t> frame) {
    RxFrameBytes rx{};
    double value = 0;
    const DecodeResult result =
        protocol == IndicatorProtocol::ShenTong
            ? decodeShenTongFrame(frame, rx, value)
            : decodeWeightFrame(frame,
                                protocol == IndicatorProtocol::Command ? kCommandReplyLayout
                                                                       : kContinuousLayout,
                                rx, value);
    if (result.readout != ReadoutUpdate::Weighing) {
        return {};
    }
    return result.signStep ? "-" + result.weightText : result.weightText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const auto protocol = static_cast<IndicatorProtocol>(input.byte() % 3);
    const std::uint8_t start = protocol == IndicatorProtocol::ShenTong ? 0x3D : kStx;
    FrameStream stream(protocol);
    StreamFrame frame;
    for (const std::uint8_t byte : input.rest()) {
        if (!stream.push(byte, frame)) {
            continue;
        }
        require(!frame.raw.empty() && frame.raw.size() <= 31, "a frame holds 1 to 31 bytes");
        require(frame.raw.front() == start, "a frame begins with its start byte");
        if (frame.error != FrameError::None) {
            continue;
        }
        // The readout shows the same frame on its own with the same caption. Only a ShenTong frame
        // of seven zero bytes matches the fresh RxFrame, so that the readout sees no change.
        const std::string caption = readoutCaption(protocol, frame.raw);
        const bool zeros = std::all_of(frame.raw.begin() + 1, frame.raw.end(),
                                       [](std::uint8_t byte) { return byte == 0; });
        require(caption == frame.text || (caption.empty() && zeros),
                "the caption is the readout's");
        require(frame.text.size() > 2 && frame.text.ends_with("kg"), "a caption ends in kg");
        fuzz::requireNumberIsTheWeight(frame);
    }
    return 0;
}
