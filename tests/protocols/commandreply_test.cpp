#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "protocols/window/weightframe.h"
#include "tests/protocols/framebytes.h"

namespace scale::test {
namespace {

constexpr double kEarlierWeight = 7.5;  // what WeightValue held before the chunk

DecodeResult decode(const Bytes& chunk, RxFrameBytes& rx, double& weight,
                    std::string_view separator = ".") {
    return decodeWeightFrame(chunk, kCommandReplyLayout, rx, weight, separator);
}

// A reply with a correct checksum: address bytes "AB", sign, six digit bytes, decimals byte.
Bytes reply(char sign, std::string_view digits, char decimals) {
    return sealedFrame("AB" + std::string(1, sign) + std::string(digits) + decimals);
}

TEST(CommandReply, DecodesRendersAndRecognisesARepeat) {
    const Bytes first = hexBytes("02 41 42 2B 30 31 32 33 34 35 33 31 41 03");
    RxFrameBytes rx{};
    double weight = kEarlierWeight;
    const DecodeResult result = decode(first, rx, weight);
    EXPECT_EQ(result.capture.decimal, " 02 65 66 43 48 49 50 51 52 53 51 49 65 03");
    EXPECT_EQ(result.capture.hex, " 2 41 42 2B 30 31 32 33 34 35 33 31 41 3");
    EXPECT_EQ(result.capture.characters, " \x02 A B + 0 1 2 3 4 5 3 1 A \x03");
    EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
    EXPECT_TRUE(result.frameSeen);
    EXPECT_EQ(result.weightText, "12.345kg");
    EXPECT_FALSE(result.signStep);
    EXPECT_DOUBLE_EQ(weight, 12.345);
    EXPECT_EQ(stored(rx, 1, 13), Bytes(first.begin() + 1, first.end()));

    weight = kEarlierWeight;
    const DecodeResult repeat = decode(first, rx, weight);
    EXPECT_EQ(repeat.capture.decimal, result.capture.decimal);
    EXPECT_EQ(repeat.capture.hex, result.capture.hex);
    EXPECT_EQ(repeat.capture.characters, result.capture.characters);
    EXPECT_EQ(repeat.readout, ReadoutUpdate::Unchanged);
    EXPECT_TRUE(repeat.frameSeen);
    EXPECT_DOUBLE_EQ(weight, kEarlierWeight);

    const DecodeResult second =
        decode(hexBytes("02 41 42 2D 30 30 31 32 33 34 32 31 38 03"), rx, weight);
    EXPECT_EQ(second.readout, ReadoutUpdate::Weighing);
    EXPECT_EQ(second.weightText, "12.34kg");
    EXPECT_TRUE(second.signStep);
    EXPECT_EQ(shownCaption(second), "-12.34kg");
    EXPECT_DOUBLE_EQ(weight, 12.34);
}

TEST(CommandReply, ShowsTheSignedDigitsWithTheRepliesDecimals) {
    struct Case {
        char sign;
        std::string digits;
        char decimals;
        std::string separator;
        std::string caption;
        double weight;
    };
    const std::vector<Case> cases = {
        {'+', "000005", '3', ".", "0.005kg", 0.005},
        {'+', "000000", '0', ".", "0kg", 0},
        {'-', "000000", '0', ".", "-0kg", 0},
        {' ', "012345", '1', ".", "1234.5kg", 1234.5},
        {'-', "987654", '2', ",", "-9876,54kg", 9876.54},
        // Spaces are not zeros: 32 - 48 = -16 in each of the top two places.
        {'+', "  1234", '3', ".", "-1758.766kg", -1758.766},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sign + c.digits + c.decimals + " " + c.separator);
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result =
            decode(reply(c.sign, c.digits, c.decimals), rx, weight, c.separator);
        EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
        EXPECT_TRUE(result.frameSeen);
        EXPECT_EQ(result.signStep, c.sign == '-');
        EXPECT_EQ(shownCaption(result), c.caption);
        EXPECT_DOUBLE_EQ(weight, c.weight);
    }
}

TEST(CommandReply, LowerCaseChecksumIsRejected) {
    RxFrameBytes rx{};
    double weight = kEarlierWeight;
    const DecodeResult result =
        decode(hexBytes("02 41 42 2B 30 31 32 33 34 35 33 31 61 03"), rx, weight);
    EXPECT_EQ(result.capture.hex, " 2 41 42 2B 30 31 32 33 34 35 33 31 61 3");
    EXPECT_EQ(result.readout, ReadoutUpdate::Waiting);
    EXPECT_FALSE(result.frameSeen);
    EXPECT_DOUBLE_EQ(weight, kEarlierWeight);
}

// The address bytes are covered by the checksum but not interpreted; a start byte among them is
// data.
TEST(CommandReply, AddressBytesCountOnlyForTheChecksum) {
    using namespace std::string_literals;
    for (const std::string& addresses : {"AB"s, "ZZ"s, "\x02\x02"s, "\x00\xFF"s}) {
        SCOPED_TRACE(testing::PrintToString(addresses));
        Bytes chunk = sealedFrame(addresses + "+0123453");
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        EXPECT_EQ(shownCaption(decode(chunk, rx, weight)), "12.345kg");

        chunk[2] ^= 0x10;  // the checksum no longer matches
        RxFrameBytes fresh{};
        EXPECT_EQ(decode(chunk, fresh, weight).readout, ReadoutUpdate::Waiting);
    }
}

TEST(CommandReply, ThousandsDigitOutsideSixteenBitsIsRefused) {
    const struct {
        char thousands;
        bool accepted;
        std::string caption;
        double weight;
    } cases[] = {
        {'\x0F', false, "Load...", kEarlierWeight},
        {'\x51', false, "Load...", kEarlierWeight},
        {'\x10', true, "-32.000kg", -32},
        {'\x50', true, "32.000kg", 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.thousands));
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result =
            decode(reply('+', std::string("00") + c.thousands + "000", '3'), rx, weight);
        EXPECT_EQ(result.frameSeen, c.accepted);
        EXPECT_EQ(shownCaption(result), c.caption);
        EXPECT_DOUBLE_EQ(weight, c.weight);
    }
}

// One stray byte pushes the reply's end byte out of the 14-byte chunk. Its bytes are stored all
// the same, so the identical replies that follow count as unchanged and the readout keeps
// "Load..." until a reply differs or the buffer is cleared.
TEST(CommandReply, StrayByteBeforeAReplyKeepsWaitingWhileRepliesRepeat) {
    const Bytes first = reply('+', "012345", '3');
    RxFrameBytes rx{};
    double weight = 0.0;
    Readout readout;
    readout.apply(decode(first, rx, weight));
    ASSERT_EQ(readout.caption, "12.345kg");

    const Bytes strayChunk = Bytes{0x55} + Bytes(first.begin(), first.end() - 1);
    ASSERT_EQ(strayChunk.size(), 14u);
    const DecodeResult stray = decode(strayChunk, rx, weight);
    readout.apply(stray);
    EXPECT_TRUE(stray.capture.inFrame);
    EXPECT_FALSE(stray.capture.complete);
    EXPECT_EQ(stray.capture.decimal, " 02 65 66 43 48 49 50 51 52 53 51 49 65 03");
    EXPECT_EQ(stray.readout, ReadoutUpdate::Waiting);
    EXPECT_FALSE(stray.frameSeen);

    const DecodeResult repeat = decode(first, rx, weight);
    readout.apply(repeat);
    EXPECT_EQ(repeat.readout, ReadoutUpdate::Unchanged);
    EXPECT_TRUE(repeat.frameSeen);
    EXPECT_EQ(readout.caption, "Load...");

    readout.apply(decode(reply('-', "012345", '3'), rx, weight));
    EXPECT_EQ(readout.caption, "-12.345kg");
}

}  // namespace
}  // namespace scale::test
