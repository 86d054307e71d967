#include "protocols/window/framecapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "tests/protocols/framebytes.h"

namespace scale::test {
namespace {

using namespace std::string_literals;

constexpr std::uint8_t kUntouched = 0xEE;  // never part of a chunk below

RxFrameBytes filledFrame(std::uint8_t value) {
    RxFrameBytes rx;
    rx.fill(value);
    return rx;
}

struct CaptureCase {
    const char* name;
    Bytes chunk;
    bool inFrame;
    bool complete;
    std::string decimal;
    std::string hex;
    std::string characters;
    Bytes storedFromIndex1;  // every other index keeps its old byte
};

TEST(FrameCapture, StoresAndRendersTheFirstFrameOfAChunk) {
    const std::vector<CaptureCase> cases = {
        {"24-byte chunk cut from a stream",
         hexBytes("33 31 39 03 02 2B 30 31 32 33 34 35 33 31 39 03 02 2B 30 31 32 33 34 35"), true,
         true, " 02 43 48 49 50 51 52 53 51 49 57 03", " 2 2B 30 31 32 33 34 35 33 31 39 3",
         " \x02 + 0 1 2 3 4 5 3 1 9 \x03", hexBytes("2B 30 31 32 33 34 35 33 31 39 03")},
        {"empty chunk", {}, false, false, " 03", " 3", " \x03", {}},
        {"no start byte", hexBytes("33 31 39 03 41"), false, false, " 03", " 3", " \x03", {}},
        {"chunk ends inside the frame", hexBytes("02 2B 30 31"), true, false, " 02 43 48 49 03",
         " 2 2B 30 31 3", " \x02 + 0 1 \x03", hexBytes("2B 30 31")},
        {"start byte straight before end byte", hexBytes("02 03"), true, true, " 02 03", " 2 3",
         " \x02 \x03", hexBytes("03")},
        {"second start byte is data", hexBytes("02 41 02 42 03"), true, true, " 02 65 02 66 03",
         " 2 41 2 42 3", " \x02 A \x02 B \x03", hexBytes("41 02 42 03")},
        {"end byte before the start byte, then two frames", hexBytes("03 02 41 03 02 42 03"), true,
         true, " 02 65 03", " 2 41 3", " \x02 A \x03", hexBytes("41 03")},
        {"highest and lowest byte values", hexBytes("02 FF 00 03"), true, true, " 02 255 00 03",
         " 2 FF 0 3", " \x02 \xFF \x00 \x03"s, hexBytes("FF 00 03")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RxFrameBytes rx = filledFrame(kUntouched);
        const Capture capture = captureFrame(c.chunk, kStxEtxCapture, rx);
        EXPECT_FALSE(capture.failed);
        EXPECT_EQ(capture.inFrame, c.inFrame);
        EXPECT_EQ(capture.complete, c.complete);
        EXPECT_EQ(capture.changed, !c.storedFromIndex1.empty());
        EXPECT_EQ(capture.decimal, c.decimal);
        EXPECT_EQ(capture.hex, c.hex);
        EXPECT_EQ(capture.characters, c.characters);

        RxFrameBytes expected = filledFrame(kUntouched);
        std::copy(c.storedFromIndex1.begin(), c.storedFromIndex1.end(), expected.begin() + 1);
        EXPECT_EQ(rx, expected);
    }
}

struct ChangedCase {
    const char* name;
    std::vector<Bytes> earlierChunks;
    Bytes chunk;
    bool changed;
};

TEST(FrameCapture, ChangedComparesWithWhatTheBufferHolds) {
    const Bytes frame = hexBytes("02 41 42 43 03");
    const std::vector<ChangedCase> cases = {
        {"first frame into a cleared buffer", {}, frame, true},
        {"repeated frame", {frame}, frame, false},
        {"one byte differs", {frame}, hexBytes("02 41 52 43 03"), true},
        {"shorter frame: end byte where a data byte was", {frame}, hexBytes("02 41 42 03"), true},
        {"longer frame", {hexBytes("02 41 42 03")}, frame, true},
        {"repeats bytes a cut-off frame left",
         {frame, hexBytes("02 51 52")},
         hexBytes("02 51 52 43 03"),
         false},
        {"cut-off frame that repeats stored bytes", {frame}, hexBytes("02 41 42"), false},
        {"different bytes before the start byte", {frame}, hexBytes("55 66 02 41 42 43 03"), false},
        {"different second frame in the chunk", {frame}, frame + hexBytes("02 51 03"), false},
        {"no frame", {frame}, hexBytes("51 52 53"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RxFrameBytes rx{};
        for (const auto& earlier : c.earlierChunks) {
            (void)captureFrame(earlier, kStxEtxCapture, rx);
        }
        EXPECT_EQ(captureFrame(c.chunk, kStxEtxCapture, rx).changed, c.changed);
    }
}

// Decimal with at least two digits, upper-case hexadecimal without leading zeros, and the byte
// itself as one character.
TEST(FrameCapture, RendersEveryByteValue) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    for (int value = 0; value < 256; ++value) {
        SCOPED_TRACE(value);
        const auto byte = static_cast<std::uint8_t>(value);
        std::string decimal = std::to_string(value);
        if (decimal.size() < 2) {
            decimal.insert(0, "0");
        }
        std::string hex;
        if (value >= 16) {
            hex.push_back(kHexDigits[value / 16]);
        }
        hex.push_back(kHexDigits[value % 16]);

        // ShenTong's end rule counts bytes, so every value (0x03 and the start byte included) is
        // an ordinary frame byte.
        RxFrameBytes rx{};
        const Capture capture = captureFrame(Bytes{'=', byte}, kShenTongCapture, rx);
        EXPECT_EQ(capture.decimal, " 61 " + decimal + " 03");
        EXPECT_EQ(capture.hex, " 3D " + hex + " ");
        EXPECT_EQ(capture.characters, " = "s + static_cast<char>(byte) + " ");
        EXPECT_EQ(rx[1], byte);
    }
}

// The buffer inside guard bytes, to see that a run-away frame writes nothing past its end.
struct GuardedFrame {
    std::array<std::uint8_t, 16> before;
    RxFrameBytes rx;
    std::array<std::uint8_t, 16> after;
};
static_assert(sizeof(GuardedFrame) == 16 + 31 + 16);

TEST(FrameCapture, FailsWhenMoreThanThirtyBytesFollowTheStartByte) {
    struct LimitCase {
        std::size_t dataBytes;  // bytes 0x40, 0x41, ... after the start byte, none of them 0x03
        bool endByte;           // 0x03 follows them
        bool failed;
        bool complete;
    };
    const std::vector<LimitCase> cases = {
        {29, true, false, true},    // the end byte lands on index 30
        {30, false, false, false},  // indices 1 to 30 full, the frame still open
        {30, true, true, false},    // the end byte would be the 31st
        {31, false, true, false},  {60, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dataBytes << " data bytes, end byte " << c.endByte);
        Bytes chunk{kStx};
        for (std::size_t i = 0; i < c.dataBytes; ++i) {
            chunk.push_back(static_cast<std::uint8_t>(0x40 + i));
        }
        if (c.endByte) {
            chunk.push_back(kEtx);
        }
        GuardedFrame guarded;
        guarded.before.fill(kUntouched);
        guarded.rx.fill(kUntouched);
        guarded.after.fill(kUntouched);

        const Capture capture = captureFrame(chunk, kStxEtxCapture, guarded.rx);
        EXPECT_EQ(capture.failed, c.failed);
        EXPECT_EQ(capture.complete, c.complete);

        std::array<std::uint8_t, 16> guard;
        guard.fill(kUntouched);
        EXPECT_EQ(guarded.before, guard);
        EXPECT_EQ(guarded.after, guard);
        EXPECT_EQ(guarded.rx[0], kUntouched);
        // Whatever fitted is stored, the failing byte is not.
        const std::size_t fitted = std::min<std::size_t>(chunk.size() - 1, 30);
        EXPECT_EQ(
            stored(guarded.rx, 1, fitted),
            Bytes(chunk.begin() + 1, chunk.begin() + 1 + static_cast<std::ptrdiff_t>(fitted)));
    }
}

}  // namespace
}  // namespace scale::test
