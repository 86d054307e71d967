#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/scale-read/http/server/clientframecheck.h"

namespace scaleread {
namespace {

// A client's frame: masked unless told, with a 7-bit, 16-bit or 64-bit length.
std::vector<std::uint8_t> frame(std::size_t payload, bool masked = true) {
    std::vector<std::uint8_t> bytes{0x81};
    const std::uint8_t mask = masked ? 0x80 : 0x00;
    if (payload < 126) {
        bytes.push_back(static_cast<std::uint8_t>(mask | payload));
    } else if (payload <= 0xFFFF) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(mask | 126),
                                   static_cast<std::uint8_t>(payload >> 8),
                                   static_cast<std::uint8_t>(payload & 0xFF)});
    } else {
        bytes.push_back(static_cast<std::uint8_t>(mask | 127));
        for (int shift = 56; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<std::uint8_t>((payload >> shift) & 0xFF));
        }
    }
    if (masked) {
        bytes.insert(bytes.end(), {1, 2, 3, 4});
    }
    // Payload bytes that would read as an unmasked header if the lengths were followed wrongly.
    bytes.insert(bytes.end(), payload, 0x01);
    return bytes;
}

TEST(ClientFrameCheck, FollowsMaskedFramesOfEveryLengthHoweverSplitAndStopsAtAnUnmaskedOne) {
    std::vector<std::uint8_t> stream;
    for (const std::size_t length : {0u, 5u, 125u, 126u, 300u, 70000u}) {
        const auto one = frame(length);
        stream.insert(stream.end(), one.begin(), one.end());
    }
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
        ClientFrameCheck check;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            ASSERT_TRUE(check.feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at))))
                << "piece " << piece << " at " << at;
        }
        const auto bad = frame(3, false);
        EXPECT_FALSE(check.feed(bad));
        EXPECT_FALSE(check.feed(frame(1)));  // once unmasked, for good
    }
}

}  // namespace
}  // namespace scaleread
