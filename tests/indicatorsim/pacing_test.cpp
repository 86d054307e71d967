#include <gtest/gtest.h>

#include "tests/indicatorsim/simtestsupport.h"
#include "tools/indicator-sim/indicator/pacing.h"

namespace indicatorsim {
namespace {

TEST(Pacing, ARateTheLineCarriesIsKept) {
    const Pace pace = choosePace(10, 9600, 10, 12);
    EXPECT_EQ(pace.framesPerSecond, 10);
    EXPECT_EQ(pace.lineLimit, 80);
    EXPECT_FALSE(pace.clamped);
}

TEST(Pacing, AFasterRateIsHeldToFramesBackToBack) {
    const Pace pace = choosePace(100, 9600, 10, 12);
    EXPECT_EQ(pace.framesPerSecond, 80);
    EXPECT_TRUE(pace.clamped);
    EXPECT_EQ(choosePace(80, 9600, 10, 12).clamped, false);
}

TEST(Pacing, TheLimitFollowsFrameLengthBaudAndFraming) {
    // ShenTong's eight bytes at 9600 baud on a pseudo-terminal, ten bits a byte.
    EXPECT_EQ(paceFor(optionsFrom({"--link", "/x", "--protocol", "shentong", "--rate", "500"}))
                  .framesPerSecond,
              120);
    EXPECT_EQ(
        paceFor(optionsFrom({"--link", "/x", "--baud", "2400", "--rate", "500"})).framesPerSecond,
        20);
    // 9600,E,8,2 is twelve bits a byte: 9600 / (12 * 12).
    EXPECT_DOUBLE_EQ(
        paceFor(optionsFrom({"--device", "/y", "--settings", "9600,E,8,2", "--rate", "500"}))
            .framesPerSecond,
        9600.0 / 144.0);
    EXPECT_DOUBLE_EQ(lineFrameLimit(28400, 10, 12), 28400.0 / 120.0);
}

TEST(Pacing, FrameTimesDoNotDriftAtRatesWithoutWholeIntervals) {
    EXPECT_EQ(frameOffset(3, 1), 333'333);
    EXPECT_EQ(frameOffset(3, 2), 666'667);
    EXPECT_EQ(frameOffset(3, 3), 1'000'000);
    EXPECT_EQ(frameOffset(3, 30'000), 10'000'000'000);
}

}  // namespace
}  // namespace indicatorsim
