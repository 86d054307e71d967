// The simulator's checksum faults: each one makes the tool's decoder refuse exactly the frames it
// should, and changes nothing but the checksum digits.
#include "tools/indicator-sim/faults/checksumfaults.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "protocols/formats/continuous/continuousframe.h"
#include "protocols/formats/command/commandreply.h"
#include "protocols/window/weightframe.h"
#include "tests/protocols/framebytes.h"

namespace indicatorsim {
namespace {

using scale::test::Bytes;
using scale::test::textBytes;
using scale::test::operator+;

// Both kinds of frame for both signs, 0 to 4 decimals and a spread of digit values.
struct EncodedFrame {
    Bytes bytes;
    scale::WeightFrameLayout layout;
};
std::vector<EncodedFrame> frames() {
    std::vector<EncodedFrame> all;
    for (std::uint32_t digits = 0; digits <= 999999; digits += 7919) {
        for (int decimals = 0; decimals <= 4; ++decimals) {
            for (const bool negative : {false, true}) {
                const scale::IndicatorReading reading{negative, digits, decimals};
                const auto continuous = scale::encodeContinuousFrame(reading);
                const auto reply = scale::encodeCommandReply(reading);
                all.push_back(
                    {Bytes(continuous.begin(), continuous.end()), scale::kContinuousLayout});
                all.push_back({Bytes(reply.begin(), reply.end()), scale::kCommandReplyLayout});
            }
        }
    }
    return all;
}

scale::ReadoutUpdate decoded(const EncodedFrame& frame) {
    scale::RxFrameBytes rx{};
    double weight = 0.0;
    return scale::decodeWeightFrame(frame.bytes, frame.layout, rx, weight).readout;
}

// Lower-case checksum letters never match, so only frames whose checksum has no letter survive.
TEST(ChecksumFaults, LowerCaseLettersAreRejectedAndDigitsPass) {
    int lowered = 0;
    for (EncodedFrame frame : frames()) {
        Bytes expected = frame.bytes;
        for (auto digit = expected.end() - 3; digit != expected.end() - 1; ++digit) {
            if (*digit >= 'A' && *digit <= 'F') {
                *digit = static_cast<std::uint8_t>(*digit - 'A' + 'a');
            }
        }
        const bool hasLetter = expected != frame.bytes;
        lowered += hasLetter ? 1 : 0;
        ASSERT_EQ(lowerCaseChecksum(frame.bytes), hasLetter);
        ASSERT_EQ(frame.bytes, expected);
        ASSERT_EQ(decoded(frame),
                  hasLetter ? scale::ReadoutUpdate::Waiting : scale::ReadoutUpdate::Weighing);
    }
    EXPECT_GT(lowered, 100);

    Bytes tooShort = scale::test::hexBytes("41 42 03");
    EXPECT_FALSE(lowerCaseChecksum(tooShort));
    spoilChecksum(tooShort);
    EXPECT_EQ(tooShort, scale::test::hexBytes("41 42 03"));
}

// The low checksum digit becomes the next upper-case hexadecimal digit and nothing else changes.
TEST(ChecksumFaults, SpoiledChecksumsAreRejected) {
    static constexpr std::string_view kHexDigits = "0123456789ABCDEF";
    for (EncodedFrame frame : frames()) {
        Bytes expected = frame.bytes;
        std::uint8_t& low = expected[expected.size() - 2];
        low = static_cast<std::uint8_t>(
            kHexDigits[(kHexDigits.find(static_cast<char>(low)) + 1) % 16]);
        spoilChecksum(frame.bytes);
        ASSERT_EQ(frame.bytes, expected);
        ASSERT_EQ(decoded(frame), scale::ReadoutUpdate::Waiting);
    }

    const struct {
        std::string_view before;
        std::string_view after;
    } lowDigits[] = {{"19", "1A"}, {"1F", "10"}, {"1e", "1F"}, {"1f", "10"}};
    for (const auto& c : lowDigits) {
        SCOPED_TRACE(c.before);
        const Bytes body = Bytes{scale::kStx} + textBytes("-0123452");
        Bytes frame = body + textBytes(c.before) + Bytes{scale::kEtx};
        spoilChecksum(frame);
        EXPECT_EQ(frame, body + textBytes(c.after) + Bytes{scale::kEtx});
    }
}

}  // namespace
}  // namespace indicatorsim
