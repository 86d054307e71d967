#include "protocols/formats/continuous/continuousframe.h"
#include "protocols/formats/command/commandreply.h"
#include "protocols/formats/shentong/shentongframe.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/window/shentong.h"
#include "protocols/window/weightframe.h"
#include "tests/protocols/framebytes.h"

namespace scale::test {
namespace {

template <std::size_t N>
Bytes toBytes(const std::array<std::uint8_t, N>& frame) {
    return Bytes(frame.begin(), frame.end());
}

// The digits with the point put in and at least one digit before it: 12345 with 3 decimals is
// "12.345", 5 with 3 decimals "0.005".
std::string fixedText(std::uint32_t digits, int decimals) {
    std::string text = std::to_string(digits);
    const auto width = static_cast<std::size_t>(decimals) + 1;
    if (text.size() < width) {
        text.insert(0, width - text.size(), '0');
    }
    if (decimals > 0) {
        text.insert(text.size() - static_cast<std::size_t>(decimals), ".");
    }
    return text;
}

// The same number without trailing zeros after the point, and without the point when nothing
// follows it.
std::string shortText(std::string text) {
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

std::string describe(const IndicatorReading& reading) {
    return (reading.negative ? "-" : "+") + std::to_string(reading.digits) + " with " +
           std::to_string(reading.decimals) + " decimals";
}

// Both signs and 0 to 4 decimals for chosen digit values and a spread of others.
std::vector<IndicatorReading> readings() {
    std::vector<std::uint32_t> digitValues = {0,     1,     5,     9,      10,     42,     99,
                                              100,   150,   999,   1000,   1234,   9999,   10000,
                                              12345, 54321, 99999, 100000, 123456, 500000, 999999};
    std::uint32_t next = 1;
    for (int i = 0; i < 100; ++i) {
        next = (next * 7919u + 12347u) % 1000000u;
        digitValues.push_back(next);
    }
    std::vector<IndicatorReading> all;
    for (const std::uint32_t digits : digitValues) {
        for (const bool negative : {false, true}) {
            for (int decimals = 0; decimals <= 4; ++decimals) {
                all.push_back({negative, digits, decimals});
            }
        }
    }
    return all;
}

TEST(FrameEncoder, EncodesKnownFrames) {
    EXPECT_EQ(toBytes(encodeContinuousFrame({false, 12345, 3})),
              hexBytes("02 2B 30 31 32 33 34 35 33 31 39 03"));
    EXPECT_EQ(toBytes(encodeContinuousFrame({true, 12345, 2})),
              hexBytes("02 2D 30 31 32 33 34 35 32 31 45 03"));
    EXPECT_EQ(toBytes(encodeCommandReply({false, 12345, 3})),
              hexBytes("02 41 42 2B 30 31 32 33 34 35 33 31 41 03"));
    EXPECT_EQ(toBytes(encodeCommandReply({true, 1234, 2})),
              hexBytes("02 41 42 2D 30 30 31 32 33 34 32 31 38 03"));
    EXPECT_EQ(toBytes(encodeCommandReply({false, 12345, 3}, 'X', 'Y')), sealedFrame("XY+0123453"));
    EXPECT_EQ(toBytes(encodeShenTongFrame({false, 12345, 1})), textBytes("=5.43210"));
    EXPECT_EQ(toBytes(encodeShenTongFrame({false, 12, 0})), textBytes("=2100000"));
    EXPECT_EQ(toBytes(encodeShenTongFrame({true, 15, 1})), textBytes("=5.100-0"));
}

TEST(FrameEncoder, WeightFramesDecodeToTheReadingText) {
    std::uint8_t address = 0x20;
    for (const IndicatorReading& reading : readings()) {
        SCOPED_TRACE(describe(reading));
        const std::string text =
            (reading.negative ? "-" : "") + fixedText(reading.digits, reading.decimals) + "kg";
        EXPECT_EQ(readingText(reading), text);
        const double magnitude = std::stod(fixedText(reading.digits, reading.decimals));

        RxFrameBytes rx{};
        double weight = -1.0;
        const DecodeResult continuous = decodeWeightFrame(toBytes(encodeContinuousFrame(reading)),
                                                          kContinuousLayout, rx, weight);
        EXPECT_EQ(continuous.readout, ReadoutUpdate::Weighing);
        EXPECT_EQ(shownCaption(continuous), text);
        EXPECT_DOUBLE_EQ(weight, magnitude);

        address = static_cast<std::uint8_t>(address == 0x7E ? 0x20 : address + 1);
        rx.fill(0);
        weight = -1.0;
        const DecodeResult reply = decodeWeightFrame(
            toBytes(encodeCommandReply(reading, address, 0x7E)), kCommandReplyLayout, rx, weight);
        EXPECT_EQ(reply.readout, ReadoutUpdate::Weighing);
        EXPECT_EQ(shownCaption(reply), text);
        EXPECT_DOUBLE_EQ(weight, magnitude);
        if (testing::Test::HasFailure()) {
            break;
        }
    }
}

TEST(FrameEncoder, ShenTongFramesDecodeToTheShenTongText) {
    int fitting = 0;
    for (const IndicatorReading& reading : readings()) {
        SCOPED_TRACE(describe(reading));
        const std::string fixed = fixedText(reading.digits, reading.decimals);
        const bool fits = fixed.size() + (reading.negative ? 1u : 0u) <= 6u;
        EXPECT_EQ(shenTongFits(reading), fits);
        if (!fits) {
            continue;
        }
        ++fitting;
        const std::string number = shortText(fixed);
        const std::string text = (reading.negative && number != "0" ? "-" : "") + number + "kg";
        EXPECT_EQ(shenTongText(reading), text);

        RxFrameBytes rx{};
        double weight = 0.0;
        const DecodeResult result =
            decodeShenTongFrame(toBytes(encodeShenTongFrame(reading)), rx, weight);
        EXPECT_EQ(result.readout, ReadoutUpdate::Weighing);
        EXPECT_EQ(result.weightText, text);
        EXPECT_DOUBLE_EQ(weight, (reading.negative ? -1 : 1) * std::stod(fixed));
        if (testing::Test::HasFailure()) {
            break;
        }
    }
    EXPECT_GT(fitting, 200);
}

// A weight too long for six characters loses its most significant ones.
TEST(FrameEncoder, ShenTongFrameKeepsTheLeastSignificantCharacters) {
    const struct {
        IndicatorReading reading;
        std::string frame;
        std::string weightText;
    } cases[] = {
        {{false, 999999, 1}, "=9.99990", "9999.9kg"},
        {{true, 12345, 3}, "=543.2-0", "-2.345kg"},
        {{true, 123456, 0}, "=65432-0", "-23456kg"},
        {{true, 1, 4}, "=1000.-0", "-0.0001kg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.reading));
        const auto frame = encodeShenTongFrame(c.reading);
        EXPECT_FALSE(shenTongFits(c.reading));
        EXPECT_EQ(toBytes(frame), textBytes(c.frame));
        RxFrameBytes rx{};
        double weight = 0.0;
        EXPECT_EQ(decodeShenTongFrame(toBytes(frame), rx, weight).weightText, c.weightText);
    }
}

}  // namespace
}  // namespace scale::test
