#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/window/shentong.h"
#include "tests/protocols/framebytes.h"

namespace scale::test {
namespace {

constexpr double kEarlierWeight = 7.5;  // what WeightValue held before the chunk
constexpr std::uint8_t kUntouched = 0xEE;

DecodeResult decode(const Bytes& chunk, RxFrameBytes& rx, double& weight,
                    std::string_view separator = ".") {
    return decodeShenTongFrame(chunk, rx, weight, separator);
}

TEST(ShenTongFrame, DecodesRendersAndRecognisesARepeat) {
    const Bytes chunk = textBytes("=5.43210=5.43210");
    RxFrameBytes rx{};
    std::fill(rx.begin() + 8, rx.end(), kUntouched);
    double weight = kEarlierWeight;

    const DecodeResult result = decode(chunk, rx, weight);
    EXPECT_EQ(result.capture.decimal, " 61 53 46 52 51 50 49 03");
    EXPECT_EQ(result.capture.hex, " 3D 35 2E 34 33 32 31 ");
    EXPECT_EQ(result.capture.characters, " = 5 . 4 3 2 1 ");
    EXPECT_EQ(result.capture.reversed, "1234.5=");
    EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
    EXPECT_TRUE(result.frameSeen);
    EXPECT_EQ(result.weightText, "1234.5kg");
    EXPECT_FALSE(result.signStep);
    EXPECT_DOUBLE_EQ(weight, 1234.5);
    EXPECT_EQ(rx[0], 0);
    EXPECT_EQ(stored(rx, 1, 7), textBytes("5.43210"));
    EXPECT_EQ(stored(rx, 8, 30), Bytes(23, kUntouched));

    weight = kEarlierWeight;
    const DecodeResult repeat = decode(chunk, rx, weight);
    EXPECT_EQ(repeat.capture.decimal, result.capture.decimal);
    EXPECT_EQ(repeat.capture.hex, result.capture.hex);
    EXPECT_EQ(repeat.capture.characters, result.capture.characters);
    EXPECT_EQ(repeat.readout, ReadoutUpdate::Unchanged);
    EXPECT_TRUE(repeat.frameSeen);
    EXPECT_DOUBLE_EQ(weight, kEarlierWeight);
}

TEST(ShenTongFrame, ChunkWithoutACompleteFrameShowsWaiting) {
    const struct {
        const char* name;
        Bytes chunk;
        std::string decimal;
        std::string hex;
        std::string characters;
        Bytes storedFromIndex1;
    } cases[] = {
        {"frame cut off by the end of the chunk", textBytes("0123456789=5.432"),
         " 61 53 46 52 51 50 03", " 3D 35 2E 34 33 32 ", " = 5 . 4 3 2 ", textBytes("5.432")},
        {"no start byte", textBytes("0123456789abcdef"), " 03", " ", " ", {}},
        {"0x03 does not end the frame", textBytes("=12\x03"), " 61 49 50 03 03", " 3D 31 32 3 ",
         " = 1 2 \x03 ", textBytes("12\x03")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RxFrameBytes rx;
        rx.fill(kUntouched);
        double weight = kEarlierWeight;
        const DecodeResult result = decode(c.chunk, rx, weight);
        EXPECT_EQ(result.capture.decimal, c.decimal);
        EXPECT_EQ(result.capture.hex, c.hex);
        EXPECT_EQ(result.capture.characters, c.characters);
        EXPECT_EQ(result.readout, ReadoutUpdate::Waiting);
        EXPECT_FALSE(result.frameSeen);
        EXPECT_DOUBLE_EQ(weight, kEarlierWeight);

        RxFrameBytes expected;
        expected.fill(kUntouched);
        std::copy(c.storedFromIndex1.begin(), c.storedFromIndex1.end(), expected.begin() + 1);
        EXPECT_EQ(rx, expected);
    }
}

// Seven bytes must follow "=" within the 16-byte chunk.
TEST(ShenTongFrame, FrameCompletesOnlyWhenStartByteStandsAtEightOrEarlier) {
    for (std::size_t position = 0; position < 16; ++position) {
        SCOPED_TRACE(position);
        Bytes chunk(16, '1');
        chunk[position] = '=';
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result = decode(chunk, rx, weight);
        EXPECT_EQ(result.frameSeen, position <= 8);
        EXPECT_EQ(shownCaption(result), position <= 8 ? "111111kg" : "Load...");
    }
}

// The six bytes after "=" in reverse order, read as a number: blanks ignored, one full stop,
// reading stops at the first misfit (the "=" at the latest). The seventh byte is never read.
TEST(ShenTongFrame, ReadsTheWeightFromTheReversedCharacters) {
    using namespace std::string_literals;
    const struct {
        std::string frame;
        std::string separator;
        std::string weightText;
        double weight;
    } cases[] = {
        {"=5.43210", ".", "1234.5kg", 1234.5},
        {"=5.43210", ",", "1234,5kg", 1234.5},
        {"=0.21000", ".", "12kg", 12},
        {"=000021-", ".", "120000kg", 120000},
        {"=20000-0", ".", "-2kg", -2},
        {"=5.100-0", ".", "-1.5kg", -1.5},
        {"=21000+0", ".", "12kg", 12},
        {"=500.009", ".", "0.005kg", 0.005},
        {"=000000-", ".", "0kg", 0},
        {"=00000-0", ".", "0kg", 0},
        {"=      0", ".", "0kg", 0},
        {"=00000A0", ".", "0kg", 0},
        {"=1\t2\n3 0", ".", "321kg", 321},
        {"=5,4321 ", ",", "1234kg", 1234},
        {"=5.4.321", ".", "23.4kg", 23.4},
        {"=\x03"
         "51000"s +
             "0",
         ".", "15kg", 15},
        {"==51000"s + "0", ".", "15kg", 15},
        {"=12\r3000", ".", "3kg", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.frame));
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result = decode(textBytes(c.frame), rx, weight, c.separator);
        EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
        EXPECT_TRUE(result.frameSeen);
        EXPECT_EQ(result.weightText, c.weightText);
        EXPECT_FALSE(result.signStep);
        EXPECT_DOUBLE_EQ(weight, c.weight);
    }
}

TEST(ShenTongFrame, StartAndEndBytesAmongTheCharactersAreData) {
    RxFrameBytes rx{};
    double weight = kEarlierWeight;
    const DecodeResult result = decode(textBytes("=\x03=10000"), rx, weight);
    EXPECT_EQ(result.capture.decimal, " 61 03 61 49 48 48 48 03");
    EXPECT_EQ(result.capture.hex, " 3D 3 3D 31 30 30 30 ");
    EXPECT_EQ(result.capture.characters, " = \x03 = 1 0 0 0 ");
    EXPECT_EQ(result.capture.reversed, "0001=\x03=");
    EXPECT_EQ(result.weightText, "1kg");
}

// The seventh byte after "=" takes part in change detection only.
TEST(ShenTongFrame, ChangeAtTheSeventhByteRewritesTheSameNumber) {
    RxFrameBytes rx{};
    double weight = 0.0;
    ASSERT_EQ(decode(textBytes("=5.43210"), rx, weight).weightText, "1234.5kg");

    weight = kEarlierWeight;
    const DecodeResult changed = decode(textBytes("=5.43219"), rx, weight);
    EXPECT_EQ(changed.capture.decimal, " 61 53 46 52 51 50 49 03");
    EXPECT_EQ(changed.readout, ReadoutUpdate::Weighing);
    EXPECT_EQ(changed.weightText, "1234.5kg");
    EXPECT_DOUBLE_EQ(weight, 1234.5);

    EXPECT_EQ(decode(textBytes("=5.43219"), rx, weight).readout, ReadoutUpdate::Unchanged);
}

TEST(ShenTongFrame, CutOffFrameKeepsWaitingWhileItsRepeatsFollow) {
    RxFrameBytes rx{};
    double weight = 0.0;
    Readout readout;
    readout.apply(decode(textBytes("=5.43210=5.43210"), rx, weight));
    ASSERT_EQ(readout.caption, "1234.5kg");

    readout.apply(decode(textBytes("0123456789=2.432"), rx, weight));
    EXPECT_EQ(readout.caption, "Load...");

    for (int i = 0; i < 3; ++i) {
        const DecodeResult repeat = decode(textBytes("=2.43210=2.43210"), rx, weight);
        readout.apply(repeat);
        EXPECT_EQ(repeat.readout, ReadoutUpdate::Unchanged);
        EXPECT_TRUE(repeat.frameSeen);
        EXPECT_EQ(readout.caption, "Load...");
    }

    rx.fill(0);  // what the watchdog does after a quiet period
    readout.apply(decode(textBytes("=2.43210=2.43210"), rx, weight));
    EXPECT_EQ(readout.caption, "1234.2kg");
}

}  // namespace
}  // namespace scale::test
