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
    return decodeWeightFrame(chunk, kContinuousLayout, rx, weight, separator);
}

// A continuous frame with a correct checksum: sign, six digit bytes, decimals byte.
Bytes frame(char sign, std::string_view digits, char decimals) {
    return sealedFrame(std::string(1, sign) + std::string(digits) + decimals);
}

// Each chunk decoded twice into a cleared buffer: the repeat leaves readout and weight alone.
TEST(ContinuousFrame, DecodesRendersAndRecognisesARepeat) {
    struct Case {
        const char* name;
        Bytes chunk;
        std::string decimal;
        std::string hex;
        std::string characters;
        std::string caption;  // "Load..." for a refused frame
        bool signStep;
        double weight;
    };
    const std::vector<Case> cases = {
        {"positive, three decimals, after bytes of an earlier frame",
         hexBytes("33 31 39 03 02 2B 30 31 32 33 34 35 33 31 39 03 02 2B 30 31 32 33 34 35"),
         " 02 43 48 49 50 51 52 53 51 49 57 03", " 2 2B 30 31 32 33 34 35 33 31 39 3",
         " \x02 + 0 1 2 3 4 5 3 1 9 \x03", "12.345kg", false, 12.345},
        {"negative, two decimals, letter in the checksum",
         hexBytes("02 2D 30 31 32 33 34 35 32 31 45 03"), " 02 45 48 49 50 51 52 53 50 49 69 03",
         " 2 2D 30 31 32 33 34 35 32 31 45 3", " \x02 - 0 1 2 3 4 5 2 1 E \x03", "-123.45kg", true,
         123.45},
        {"the same with the checksum letter in lower case",
         hexBytes("02 2D 30 31 32 33 34 35 32 31 65 03"), " 02 45 48 49 50 51 52 53 50 49 101 03",
         " 2 2D 30 31 32 33 34 35 32 31 65 3", " \x02 - 0 1 2 3 4 5 2 1 e \x03", "Load...", false,
         kEarlierWeight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool accepted = c.caption != "Load...";
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result = decode(c.chunk, rx, weight);
        EXPECT_EQ(result.capture.decimal, c.decimal);
        EXPECT_EQ(result.capture.hex, c.hex);
        EXPECT_EQ(result.capture.characters, c.characters);
        EXPECT_EQ(result.readout, accepted ? ReadoutUpdate::Weighing : ReadoutUpdate::Waiting);
        EXPECT_EQ(result.frameSeen, accepted);
        EXPECT_EQ(result.signStep, c.signStep);
        EXPECT_EQ(shownCaption(result), c.caption);
        EXPECT_DOUBLE_EQ(weight, c.weight);

        weight = kEarlierWeight;
        const DecodeResult repeat = decode(c.chunk, rx, weight);
        EXPECT_EQ(repeat.capture.decimal, c.decimal);
        EXPECT_EQ(repeat.readout, accepted ? ReadoutUpdate::Unchanged : ReadoutUpdate::Waiting);
        EXPECT_EQ(repeat.frameSeen, accepted);
        EXPECT_DOUBLE_EQ(weight, kEarlierWeight);
    }
}

// The decoded digits with the frame's number of decimals, at least one digit before the point;
// the sign byte only puts a "-" in front of the caption.
TEST(ContinuousFrame, ShowsTheDigitsWithTheFramesDecimals) {
    struct Case {
        char sign;
        std::string digits;
        char decimals;
        std::string separator;
        std::string weightText;
        bool signStep;
        std::string caption;
        double weight;
    };
    const std::vector<Case> cases = {
        {'+', "012345", '0', ".", "12345kg", false, "12345kg", 12345},
        {'+', "012345", '1', ".", "1234.5kg", false, "1234.5kg", 1234.5},
        {'+', "012345", '2', ".", "123.45kg", false, "123.45kg", 123.45},
        {'+', "012345", '3', ".", "12.345kg", false, "12.345kg", 12.345},
        {'+', "012345", '4', ".", "1.2345kg", false, "1.2345kg", 1.2345},
        {'+', "000150", '1', ".", "15.0kg", false, "15.0kg", 15},
        {'+', "000150", '3', ".", "0.150kg", false, "0.150kg", 0.15},
        {'+', "000005", '3', ".", "0.005kg", false, "0.005kg", 0.005},
        {'+', "999999", '4', ".", "99.9999kg", false, "99.9999kg", 99.9999},
        {'+', "000000", '0', ".", "0kg", false, "0kg", 0},
        {'-', "000000", '0', ".", "0kg", true, "-0kg", 0},
        {'-', "000000", '3', ".", "0.000kg", true, "-0.000kg", 0},
        {'-', "012345", '3', ",", "12,345kg", true, "-12,345kg", 12.345},
        {'+', "001234", '2', "\u066B", "12\u066B34kg", false, "12\u066B34kg", 12.34},
        // Digit bytes are not checked: a space counts as 32 - 48 = -16.
        {'+', "  1234", '3', ".", "-1758.766kg", false, "-1758.766kg", -1758.766},
        {'-', " 00000", '0', ".", "-1600000kg", true, "--1600000kg", -1600000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sign + c.digits + c.decimals + " " + c.separator);
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result =
            decode(frame(c.sign, c.digits, c.decimals), rx, weight, c.separator);
        EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
        EXPECT_TRUE(result.frameSeen);
        EXPECT_EQ(result.weightText, c.weightText);
        EXPECT_EQ(result.signStep, c.signStep);
        EXPECT_EQ(shownCaption(result), c.caption);
        EXPECT_DOUBLE_EQ(weight, c.weight);
    }
}

TEST(ContinuousFrame, OnlyAMinusSignByteMakesTheWeightNegative) {
    for (int value = 0; value < 256; ++value) {
        const auto sign = static_cast<char>(value);
        if (value == kEtx) {
            continue;  // it would end the frame
        }
        SCOPED_TRACE(value);
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result = decode(frame(sign, "012345", '3'), rx, weight);
        EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
        EXPECT_EQ(result.signStep, sign == '-');
        EXPECT_EQ(shownCaption(result), sign == '-' ? "-12.345kg" : "12.345kg");
        EXPECT_DOUBLE_EQ(weight, 12.345);
    }
}

TEST(ContinuousFrame, ChunkWithoutAValidFrameShowsWaiting) {
    Bytes runaway{kStx};
    runaway.resize(33, '0');
    const struct {
        const char* name;
        Bytes chunk;
    } cases[] = {
        {"no start byte", hexBytes("2B 30 31 32 33 34 35 33 31 39 03")},
        {"cut off before the end byte", hexBytes("02 2B 30 31 32 33 34 35 33 31 39")},
        {"wrong checksum digit", hexBytes("02 2B 30 31 32 33 34 35 33 31 38 03")},
        {"checksum digits swapped", hexBytes("02 2B 30 31 32 33 34 35 33 39 31 03")},
        {"more than thirty bytes after the start byte", runaway},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result = decode(c.chunk, rx, weight);
        EXPECT_EQ(result.readout, ReadoutUpdate::Waiting);
        EXPECT_FALSE(result.frameSeen);
        EXPECT_EQ(result.weightText, "");
        EXPECT_DOUBLE_EQ(weight, kEarlierWeight);
    }
}

// The decimals byte is checked after WeightValue has been set, and only for a changed frame.
TEST(ContinuousFrame, InvalidDecimalsByteShowsWaitingAndItsRepeatCountsAsSeen) {
    RxFrameBytes rx{};
    double weight = kEarlierWeight;
    Readout readout;
    const DecodeResult first = decode(frame('+', "012345", '5'), rx, weight);
    readout.apply(first);
    EXPECT_EQ(first.readout, ReadoutUpdate::Waiting);
    EXPECT_FALSE(first.frameSeen);
    EXPECT_DOUBLE_EQ(weight, 0.12345);

    weight = kEarlierWeight;
    const DecodeResult again = decode(frame('+', "012345", '5'), rx, weight);
    readout.apply(again);
    EXPECT_EQ(again.readout, ReadoutUpdate::Unchanged);
    EXPECT_TRUE(again.frameSeen);
    EXPECT_DOUBLE_EQ(weight, kEarlierWeight);
    EXPECT_EQ(readout.caption, "Load...");

    for (const char decimals : {'/', ':', '\0'}) {
        RxFrameBytes fresh{};
        EXPECT_FALSE(decode(frame('+', "012345", decimals), fresh, weight).frameSeen)
            << static_cast<int>(decimals);
    }
}

// The thousands term is a 16-bit product: bytes 0x10 to 0x50 there fit, the others refuse the
// frame and keep the earlier weight. The other digit positions take any byte.
TEST(ContinuousFrame, ThousandsDigitOutsideSixteenBitsIsRefused) {
    const struct {
        std::size_t place;  // 0 for the hundred-thousands digit
        char byte;
        std::string caption;
        double weight;
    } cases[] = {
        {2, '\x0F', "Load...", kEarlierWeight}, {2, '\x51', "Load...", kEarlierWeight},
        {2, '\xFF', "Load...", kEarlierWeight}, {2, '\x10', "-32000kg", -32000},
        {2, '\x50', "32000kg", 32000},          {0, '\xFF', "20700000kg", 20700000},
        {0, '\x01', "-4700000kg", -4700000},    {5, '\xFF', "207kg", 207},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.place << ": " << static_cast<int>(c.byte & 0xFF));
        std::string digits = "000000";
        digits[c.place] = c.byte;
        RxFrameBytes rx{};
        double weight = kEarlierWeight;
        const DecodeResult result = decode(frame('+', digits, '0'), rx, weight);
        EXPECT_EQ(result.frameSeen, c.caption != "Load...");
        EXPECT_EQ(shownCaption(result), c.caption);
        EXPECT_DOUBLE_EQ(weight, c.weight);
    }
}

// A cut-off frame stores its bytes; when the whole frame follows, nothing differs any more, so
// the readout keeps "Load..." until a frame differs or the buffer is cleared.
TEST(ContinuousFrame, CutOffFrameKeepsWaitingWhileItsRepeatsFollow) {
    const Bytes shown = frame('+', "012345", '3');
    const Bytes next = frame('+', "012346", '3');
    RxFrameBytes rx{};
    double weight = 0.0;
    Readout readout;
    readout.apply(decode(shown, rx, weight));
    ASSERT_EQ(readout.caption, "12.345kg");

    const DecodeResult cut = decode(Bytes(next.begin(), next.end() - 1), rx, weight);
    readout.apply(cut);
    EXPECT_EQ(cut.readout, ReadoutUpdate::Waiting);
    EXPECT_FALSE(cut.frameSeen);
    EXPECT_EQ(readout.caption, "Load...");

    for (int i = 0; i < 3; ++i) {
        const DecodeResult repeat = decode(next, rx, weight);
        readout.apply(repeat);
        EXPECT_EQ(repeat.readout, ReadoutUpdate::Unchanged);
        EXPECT_TRUE(repeat.frameSeen);
        EXPECT_EQ(readout.caption, "Load...");
    }

    readout.apply(decode(frame('+', "012347", '3'), rx, weight));
    EXPECT_EQ(readout.caption, "12.347kg");

    readout.apply(decode(Bytes(next.begin(), next.end() - 1), rx, weight));
    rx.fill(0);  // what the watchdog does after a quiet period
    readout.apply(decode(next, rx, weight));
    EXPECT_EQ(readout.caption, "12.346kg");
}

TEST(ContinuousFrame, AnyTwentyFourBytesOfAStreamHoldAFrame) {
    const Bytes one = frame('-', "004321", '2');
    Bytes stream;
    for (int i = 0; i < 4; ++i) {
        stream = stream + one;
    }
    for (std::size_t start = 0; start + 24 <= stream.size(); ++start) {
        SCOPED_TRACE(start);
        const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(start);
        RxFrameBytes rx{};
        double weight = 0.0;
        const DecodeResult result = decode(Bytes(begin, begin + 24), rx, weight);
        EXPECT_EQ(shownCaption(result), "-43.21kg");
    }
}

// Only the first ten bytes after the start byte are decoded; further ones only count as changes.
TEST(ContinuousFrame, LongerFrameIsJudgedByItsFirstTenBytes) {
    Bytes longer = frame('+', "012345", '3');
    longer.insert(longer.end() - 1, {'X', 'Y'});
    RxFrameBytes rx{};
    double weight = 0.0;
    EXPECT_EQ(shownCaption(decode(longer, rx, weight)), "12.345kg");
    EXPECT_EQ(stored(rx, 9, 13), textBytes("19XY\x03"));

    longer[12] = 'Z';
    const DecodeResult changed = decode(longer, rx, weight);
    EXPECT_EQ(changed.readout, ReadoutUpdate::Weighing);
    EXPECT_EQ(shownCaption(changed), "12.345kg");
}

}  // namespace
}  // namespace scale::test
