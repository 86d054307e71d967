// Every frame of a stream, decoded as the readout decodes the first frame of a chunk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framebytes.h"
#include "protocols/stream/framestream.h"
#include "protocols/formats/continuous/continuousframe.h"
#include "protocols/formats/command/commandreply.h"
#include "protocols/formats/shentong/shentongframe.h"
#include "protocols/window/shentong.h"
#include "protocols/window/weightframe.h"

namespace scale::test {
namespace {

struct Seen {
    std::string error;
    std::string number;
    std::string text;
    std::string raw;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << "{" << seen.error << " " << seen.number << " " << seen.text << " [" << seen.raw
               << "]}";
}

std::string hexOf(std::span<const std::uint8_t> bytes) {
    std::string text;
    char pair[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", byte);
        text += pair;
    }
    return text;
}

// Feeds `chunks` in turn and lists every frame that ended.
std::vector<Seen> framesOf(IndicatorProtocol protocol, const std::vector<Bytes>& chunks,
                           std::string separator = ".") {
    FrameStream stream(protocol, std::move(separator));
    std::vector<Seen> seen;
    StreamFrame frame;
    for (const Bytes& chunk : chunks) {
        for (const std::uint8_t byte : chunk) {
            if (stream.push(byte, frame)) {
                seen.push_back({std::string(frameErrorName(frame.error)), frame.number, frame.text,
                                hexOf(frame.raw)});
            }
        }
    }
    return seen;
}

// The readout's caption for one frame on its own, with the sign step applied.
std::string readoutCaption(IndicatorProtocol protocol, const Bytes& frame,
                           std::string_view separator) {
    RxFrameBytes rx{};
    double value = 0;
    const DecodeResult result =
        protocol == IndicatorProtocol::ShenTong
            ? decodeShenTongFrame(frame, rx, value, separator)
            : decodeWeightFrame(frame,
                                protocol == IndicatorProtocol::Command ? kCommandReplyLayout
                                                                       : kContinuousLayout,
                                rx, value, separator);
    if (result.readout != ReadoutUpdate::Weighing) {
        return "refused";
    }
    return result.signStep ? "-" + result.weightText : result.weightText;
}

TEST(FrameStream, CaptionsMatchTheReadoutForEveryProtocolAndSeparator) {
    const IndicatorReading readings[] = {
        {false, 0, 0},     {true, 12345, 3}, {false, 999999, 0}, {true, 1, 4},
        {false, 5, 2},     {true, 100, 1},   {false, 123456, 1}, {true, 0, 2},
    };
    for (const std::string separator : {".", ",", "\xD9\xAB"}) {
        for (const IndicatorReading& reading : readings) {
            const auto continuous = encodeContinuousFrame(reading);
            const auto command = encodeCommandReply(reading);
            const Bytes frames[] = {Bytes(continuous.begin(), continuous.end()),
                                    Bytes(command.begin(), command.end())};
            for (int i = 0; i < 2; ++i) {
                const auto protocol = static_cast<IndicatorProtocol>(i);
                const auto seen = framesOf(protocol, {frames[i]}, separator);
                ASSERT_EQ(seen.size(), 1u);
                EXPECT_EQ(seen[0].text, readoutCaption(protocol, frames[i], separator));
                EXPECT_EQ(seen[0].raw, hexOf(frames[i]));
            }
            if (shenTongFits(reading)) {
                const auto shenTong = encodeShenTongFrame(reading);
                const Bytes frame(shenTong.begin(), shenTong.end());
                const auto seen = framesOf(IndicatorProtocol::ShenTong, {frame}, separator);
                ASSERT_EQ(seen.size(), 1u);
                EXPECT_EQ(seen[0].text,
                          readoutCaption(IndicatorProtocol::ShenTong, frame, separator));
            }
        }
    }
}

TEST(FrameStream, NumbersCarryTheSignAndTheIndicatorsDecimals) {
    EXPECT_EQ(framesOf(IndicatorProtocol::Continuous, {sealedFrame("-0123453")}),
              (std::vector<Seen>{{"", "-12.345", "-12.345kg", hexOf(sealedFrame("-0123453"))}}));
    // Spaces count as digits (code minus 48), as on the readout.
    EXPECT_EQ(framesOf(IndicatorProtocol::Continuous, {sealedFrame("+  12340")})[0].text,
              readoutCaption(IndicatorProtocol::Continuous, sealedFrame("+  12340"), "."));
    EXPECT_EQ(framesOf(IndicatorProtocol::ShenTong, {textBytes("=05.21000")}),
              (std::vector<Seen>{{"", "12.50", "12.5kg", "3D 30 35 2E 32 31 30 30"}}));
}

TEST(FrameStream, EveryFrameIsFoundWhereverTheReadsSplitTheStream) {
    const Bytes stream = Bytes{0x55} + sealedFrame("+0000010") + sealedFrame("+0000020") +
                         Bytes{0x41, 0x42} + sealedFrame("-0000030");
    const std::vector<std::string> expected = {"1kg", "2kg", "-3kg"};
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        for (std::size_t second = cut; second <= stream.size(); second += 5) {
            const Bytes a(stream.begin(), stream.begin() + static_cast<long>(cut));
            const Bytes b(stream.begin() + static_cast<long>(cut),
                          stream.begin() + static_cast<long>(second));
            const Bytes c(stream.begin() + static_cast<long>(second), stream.end());
            std::vector<std::string> texts;
            for (const Seen& seen : framesOf(IndicatorProtocol::Continuous, {a, b, c})) {
                texts.push_back(seen.text);
            }
            EXPECT_EQ(texts, expected) << "cut at " << cut << " and " << second;
        }
    }
}

TEST(FrameStream, RefusedFramesNameTheirReason) {
    Bytes badChecksum = sealedFrame("+0000010");
    badChecksum[10] = 'F';
    const Bytes cutShort = Bytes{kStx} + textBytes("+00") + Bytes{kEtx};
    const Bytes restarted = Bytes{kStx} + textBytes("+000");
    const Bytes runaway = Bytes{kStx} + Bytes(40, 0x30);
    const std::vector<Seen> seen = framesOf(
        IndicatorProtocol::Continuous,
        {badChecksum, sealedFrame("+0000015"), sealedFrame("+00Z0000"), cutShort, restarted,
         sealedFrame("+0000020"), runaway});
    const std::vector<Seen> expected = {
        {"checksum", "", "", hexOf(badChecksum)},
        {"decimals", "", "", hexOf(sealedFrame("+0000015"))},
        {"overflow", "", "", hexOf(sealedFrame("+00Z0000"))},
        {"incomplete", "", "", hexOf(cutShort)},
        {"incomplete", "", "", hexOf(restarted)},
        {"", "2", "2kg", hexOf(sealedFrame("+0000020"))},
        {"incomplete", "", "", hexOf(Bytes{kStx} + Bytes(30, 0x30))},
    };
    EXPECT_EQ(seen, expected);
}

TEST(FrameStream, ShenTongRestartsAtEachEqualsSign) {
    EXPECT_EQ(framesOf(IndicatorProtocol::ShenTong, {textBytes("=05.2=02.10000")}),
              (std::vector<Seen>{{"incomplete", "", "", "3D 30 35 2E 32"},
                                 {"", "1.20", "1.2kg", "3D 30 32 2E 31 30 30 30"}}));
}

}  // namespace
}  // namespace scale::test
