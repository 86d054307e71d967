#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocols/indicatorprotocol.h"
#include "protocols/weightframe.h"

namespace scale {

// One frame that ended in a stream, decoded or refused.
struct StreamFrame {
    FrameError error = FrameError::None;
    // With None: the weight in kg with its sign, the digits after the point that the indicator
    // sent, the weight as a plain number ("-12.345") and the readout's caption ("-12.345kg",
    // with the host's decimal separator).
    double weight = 0;
    int decimals = 0;
    std::string number;
    std::string text;
    // The frame's bytes, start byte to end byte; valid until the next push.
    std::span<const std::uint8_t> raw;
};

// Finds every frame in a byte stream, across reads, and decodes each with the readout's own field
// decoding. Unlike the readout, which takes the first frame of each chunk and checks it against
// what earlier frames left in RxFrame, each frame stands on its own: a frame cut short is
// refused as incomplete instead of being completed with an earlier frame's bytes, and a start
// byte inside a frame (never part of a valid one) gives up the frame before it.
class FrameStream {
public:
    explicit FrameStream(IndicatorProtocol protocol, std::string decimalSeparator = ".");

    // Takes the next byte; true when a frame ended with it or was given up, described in `frame`.
    bool push(std::uint8_t byte, StreamFrame& frame);

    // Forgets a frame in progress (after a gap in the stream, such as a lost port).
    void reset() { m_length = 0; }

    IndicatorProtocol protocol() const { return m_protocol; }

private:
    void decode(StreamFrame& frame);
    void giveUp(StreamFrame& frame);

    IndicatorProtocol m_protocol;
    std::string m_separator;
    std::uint8_t m_startByte;
    std::size_t m_frameLength;  // start to end byte, of a complete frame
    // The frame in progress, start byte first; at most the start byte and 30 more.
    std::array<std::uint8_t, 31> m_bytes{};
    std::size_t m_length = 0;
    // The bytes of the frame last reported, so that a new frame can begin meanwhile.
    std::array<std::uint8_t, 31> m_reported{};
};

// The error's name in records: "checksum", "decimals", "overflow", "incomplete"; "" for None.
std::string_view frameErrorName(FrameError error);

}  // namespace scale
