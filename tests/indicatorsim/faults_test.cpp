#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocols/formats/indicatorreading.h"
#include "protocols/window/weightframe.h"
#include "tools/indicator-sim/faults/faults.h"
#include "tools/indicator-sim/indicator/weightplan.h"

namespace indicatorsim {
namespace {

constexpr Micros kPause = 30'000;

// How the readout tool takes a chunk holding these bytes, with nothing stored before.
scale::ReadoutUpdate decodeContinuous(const std::vector<std::uint8_t>& bytes) {
    scale::RxFrameBytes rx{};
    double weight = 0;
    return scale::decodeWeightFrame(bytes, scale::kContinuousLayout, rx, weight).readout;
}

// A spread of readings whose checksums cover digits and letters.
std::vector<OutgoingFrame> sampleFrames() {
    std::vector<OutgoingFrame> frames;
    for (std::int64_t units = -2000; units <= 2000; units += 37) {
        frames.push_back(makeFrame(Protocol::Continuous, readingOf(units, units % 5 == 0 ? 3 : 1)));
    }
    return frames;
}

TEST(Faults, WithoutFaultsAFrameIsOneWriteWithItsReadout) {
    FaultInjector faults({}, kPause, 1);
    const OutgoingFrame frame = makeFrame(Protocol::Continuous, readingOf(-12345, 3));
    const std::vector<Piece> pieces = faults.shape(5'000, frame, true);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].at, 5'000);
    EXPECT_EQ(pieces[0].bytes, frame.bytes);
    EXPECT_EQ(pieces[0].text, "-12.345kg");
}

TEST(Faults, ABadChecksumFailsTheReadersCheckAndTouchesNothingElse) {
    FaultInjector faults({.badChecksum = 1}, kPause, 1);
    for (const OutgoingFrame& frame : sampleFrames()) {
        const std::vector<Piece> pieces = faults.shape(0, frame, true);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_EQ(pieces[0].text, "-");
        EXPECT_EQ(decodeContinuous(frame.bytes), scale::ReadoutUpdate::Weighing);
        EXPECT_EQ(decodeContinuous(pieces[0].bytes), scale::ReadoutUpdate::Waiting) << frame.text;
        const auto differing = std::ranges::mismatch(frame.bytes, pieces[0].bytes);
        EXPECT_EQ(differing.in1 - frame.bytes.begin(), 10);
        EXPECT_TRUE(
            std::equal(frame.bytes.begin() + 11, frame.bytes.end(), pieces[0].bytes.begin() + 11));
    }
}

TEST(Faults, LowerCaseChecksumLettersFailTheCheckWhileDigitsAloneStayIntact) {
    FaultInjector faults({.lowercase = 1}, kPause, 1);

    const OutgoingFrame lettered = makeFrame(Protocol::Continuous, readingOf(-12345, 3));
    const std::vector<Piece> spoiled = faults.shape(0, lettered, true);
    EXPECT_EQ(std::string(spoiled[0].bytes.begin(), spoiled[0].bytes.end()),
              "\x02-0123453"
              "1f\x03");
    EXPECT_EQ(spoiled[0].text, "-");
    EXPECT_EQ(decodeContinuous(spoiled[0].bytes), scale::ReadoutUpdate::Waiting);

    // 20 kg has the checksum 19: nothing to lower.
    const OutgoingFrame digits = makeFrame(Protocol::Continuous, readingOf(20, 0));
    const std::vector<Piece> intact = faults.shape(0, digits, true);
    EXPECT_EQ(intact[0].bytes, digits.bytes);
    EXPECT_EQ(intact[0].text, "20kg");
}

TEST(Faults, CheckSumFaultsLeaveFramesWithoutChecksumAlone) {
    FaultInjector faults({.badChecksum = 1, .lowercase = 1}, kPause, 1);
    const OutgoingFrame frame = makeFrame(Protocol::ShenTong, readingOf(1234, 1));
    const std::vector<Piece> pieces = faults.shape(0, frame, false);
    EXPECT_EQ(pieces[0].bytes, frame.bytes);
    EXPECT_EQ(pieces[0].text, "123.4kg");
}

TEST(Faults, StrayBytesComeJustBeforeTheFrameAndNeverStartOrEndOne) {
    FaultInjector faults({.stray = 1}, kPause, 7);
    for (const OutgoingFrame& frame : sampleFrames()) {
        const std::vector<Piece> pieces = faults.shape(0, frame, true);
        ASSERT_EQ(pieces.size(), 1u);
        const std::vector<std::uint8_t>& bytes = pieces[0].bytes;
        const std::size_t stray = bytes.size() - frame.bytes.size();
        ASSERT_GE(stray, 1u);
        ASSERT_LE(stray, 4u);
        EXPECT_TRUE(std::equal(frame.bytes.begin(), frame.bytes.end(),
                               bytes.begin() + static_cast<std::ptrdiff_t>(stray)));
        EXPECT_TRUE(
            std::none_of(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(stray),
                         [](std::uint8_t b) { return b == 0x02 || b == 0x03 || b == '='; }));
        EXPECT_EQ(pieces[0].text, "-");
        // The reader skips them and still finds the frame.
        EXPECT_EQ(decodeContinuous(bytes), scale::ReadoutUpdate::Weighing);
    }
}

TEST(Faults, ACutFrameRejoinsToItsBytesAfterThePause) {
    FaultInjector faults({.stray = 0.5, .cut = 1}, kPause, 3);
    std::vector<std::size_t> splits;
    for (const OutgoingFrame& frame : sampleFrames()) {
        const std::vector<Piece> pieces = faults.shape(1'000, frame, true);
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0].at, 1'000);
        EXPECT_EQ(pieces[1].at, 1'000 + kPause);
        EXPECT_EQ(pieces[0].text, "-");
        EXPECT_EQ(pieces[1].text, "-");
        std::vector<std::uint8_t> joined = pieces[0].bytes;
        joined.insert(joined.end(), pieces[1].bytes.begin(), pieces[1].bytes.end());
        ASSERT_GE(joined.size(), frame.bytes.size());
        const std::size_t stray = joined.size() - frame.bytes.size();
        EXPECT_TRUE(std::equal(frame.bytes.begin(), frame.bytes.end(),
                               joined.begin() + static_cast<std::ptrdiff_t>(stray)));
        // Each half holds part of the frame itself, not just stray bytes.
        EXPECT_GT(pieces[0].bytes.size(), stray);
        EXPECT_FALSE(pieces[1].bytes.empty());
        splits.push_back(pieces[0].bytes.size() - stray);
    }
    EXPECT_EQ(*std::ranges::min_element(splits), 1u);
    EXPECT_EQ(*std::ranges::max_element(splits), 11u);
}

TEST(Faults, NoiseIsAWriteOfItsOwnAfterAnIntactFrame) {
    FaultInjector faults({.noise = 1}, kPause, 5);
    const OutgoingFrame frame = makeFrame(Protocol::ShenTong, readingOf(-1500, 3));
    const std::vector<Piece> pieces = faults.shape(2'000, frame, false);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].bytes, frame.bytes);
    EXPECT_EQ(pieces[0].text, "-1.5kg");
    EXPECT_EQ(pieces[1].at, 2'000);
    EXPECT_GE(pieces[1].bytes.size(), 1u);
    EXPECT_LE(pieces[1].bytes.size(), 16u);
    EXPECT_EQ(pieces[1].text, "-");
}

TEST(Faults, TheSameSeedMakesTheSameChoices) {
    const FaultRates rates{
        .badChecksum = 0.2, .lowercase = 0.2, .stray = 0.2, .cut = 0.2, .noise = 0.2};
    FaultInjector first(rates, kPause, 99);
    FaultInjector again(rates, kPause, 99);
    FaultInjector other(rates, kPause, 100);
    bool differs = false;
    for (const OutgoingFrame& frame : sampleFrames()) {
        const auto pieces = first.shape(0, frame, true);
        const auto repeated = again.shape(0, frame, true);
        const auto elsewhere = other.shape(0, frame, true);
        ASSERT_EQ(pieces.size(), repeated.size());
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].bytes, repeated[i].bytes);
            EXPECT_EQ(pieces[i].at, repeated[i].at);
        }
        differs =
            differs || pieces.size() != elsewhere.size() || pieces[0].bytes != elsewhere[0].bytes;
    }
    EXPECT_TRUE(differs);
}

TEST(Silence, CoversTheQuietPartOfEachPeriod) {
    const Silence silence{100'000, 50'000};
    EXPECT_FALSE(silence.covers(0));
    EXPECT_FALSE(silence.covers(99'999));
    EXPECT_TRUE(silence.covers(100'000));
    EXPECT_TRUE(silence.covers(149'999));
    EXPECT_FALSE(silence.covers(150'000));
    EXPECT_TRUE(silence.covers(250'000));
    EXPECT_FALSE(Silence{}.covers(0));
}

}  // namespace
}  // namespace indicatorsim
