#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocols/formats/shentong/shentongframe.h"
#include "protocols/window/shentong.h"
#include "tools/indicator-sim/indicator/weightplan.h"
#include "tools/indicator-sim/indicator/weightsource.h"

namespace indicatorsim {
namespace {

std::vector<std::string> texts(WeightSource& source, int count) {
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) {
        result.push_back(scale::readingText(source.next()));
    }
    return result;
}

std::string fixedText(std::string_view weightText, std::optional<int> decimals) {
    WeightSource source(planWeight(weightText, decimals, Protocol::Continuous));
    return scale::readingText(source.next());
}

TEST(FixedWeight, KeepsTheTypedDecimalsAndSignUnlessToldOtherwise) {
    EXPECT_EQ(fixedText("fixed:-12.345", std::nullopt), "-12.345kg");
    EXPECT_EQ(fixedText("fixed:-0.000", std::nullopt), "-0.000kg");
    EXPECT_EQ(fixedText("fixed:+7", std::nullopt), "7kg");
    EXPECT_EQ(fixedText("fixed:12", 3), "12.000kg");
    // Rounded once, from the typed digits: 12.3449 is 12.34, not 12.345 rounded again.
    EXPECT_EQ(fixedText("fixed:12.3449", 2), "12.34kg");
    EXPECT_EQ(fixedText("fixed:-2.5", 0), "-3kg");
    EXPECT_EQ(fixedText("fixed:999999", std::nullopt), "999999kg");
}

TEST(RampWeight, ClimbsToItsEndAndStartsAgain) {
    WeightSource source(planWeight("ramp:1:2:0.5", std::nullopt, Protocol::Continuous));
    EXPECT_EQ(texts(source, 7), (std::vector<std::string>{"1.0kg", "1.5kg", "2.0kg", "1.0kg",
                                                          "1.5kg", "2.0kg", "1.0kg"}));
}

TEST(RampWeight, FallsThroughZeroWhenItsEndIsBelowItsStart) {
    WeightSource source(planWeight("ramp:1:-1:0.75", std::nullopt, Protocol::Continuous));
    EXPECT_EQ(texts(source, 5),
              (std::vector<std::string>{"1.00kg", "0.25kg", "-0.50kg", "1.00kg", "0.25kg"}));
}

TEST(RampWeight, AStepThatMissesTheEndWrapsBeforePassingIt) {
    WeightSource source(planWeight("ramp:0:1:0.3", 1, Protocol::Continuous));
    EXPECT_EQ(texts(source, 6),
              (std::vector<std::string>{"0.0kg", "0.3kg", "0.6kg", "0.9kg", "0.0kg", "0.3kg"}));
}

TEST(RampWeight, AStepWiderThanAnyRampShowsItsStartEveryTime) {
    WeightSource source(planWeight("ramp:0:1:999999999999999", 4, Protocol::Continuous));
    EXPECT_EQ(texts(source, 3), (std::vector<std::string>{"0.0000kg", "0.0000kg", "0.0000kg"}));
}

TEST(WalkWeight, RepeatsForTheSameSeedAndDiffersForAnother) {
    WeightSource first(planWeight("walk:42", std::nullopt, Protocol::Continuous));
    WeightSource again(planWeight("walk:42", std::nullopt, Protocol::Continuous));
    WeightSource other(planWeight("walk:43", std::nullopt, Protocol::Continuous));
    const auto walked = texts(first, 500);
    EXPECT_EQ(walked, texts(again, 500));
    EXPECT_NE(walked, texts(other, 500));
}

TEST(WalkWeight, CrossesZeroNowAndThenAndStaysWithinItsMaximum) {
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        WeightSource source(WalkWeight{seed, 50'000, 50'000, 3});
        int signChanges = 0;
        int moves = 0;
        bool wasNegative = false;
        scale::IndicatorReading previous;
        for (int frame = 0; frame < 1000; ++frame) {
            const scale::IndicatorReading reading = source.next();
            ASSERT_LE(reading.digits, 50'000u) << "seed " << seed;
            ASSERT_EQ(reading.decimals, 3);
            if (reading.digits != 0) {
                signChanges += reading.negative != wasNegative ? 1 : 0;
                wasNegative = reading.negative;
            }
            moves += reading.digits != previous.digits ? 1 : 0;
            previous = reading;
        }
        EXPECT_GE(signChanges, 4) << "seed " << seed;
        // It settles between moves: a load rests on the platform for a while.
        EXPECT_LT(moves, 700) << "seed " << seed;
    }
}

TEST(WalkWeight, OnShenTongStaysWithinSixCharactersOnBothSides) {
    const auto plan = planWeight("walk:9:500", 2, Protocol::ShenTong);
    const auto& walk = std::get<WalkWeight>(plan);
    EXPECT_EQ(walk.highest, 50'000);  // 500.00 fits as asked
    EXPECT_EQ(walk.lowest, 9'999);    // -500.00 does not: cut to -99.99
    WeightSource source(plan);
    for (int frame = 0; frame < 2000; ++frame) {
        const scale::IndicatorReading reading = source.next();
        ASSERT_TRUE(scale::shenTongFits(reading)) << scale::readingText(reading);
    }
}

TEST(ShenTongFit, TheLargestFittingWeightsDecodeAsSentAndOneMoreDigitDoesNot) {
    struct Case {
        int decimals;
        bool negative;
        std::int64_t largest;
    };
    const Case cases[] = {{0, false, 999'999}, {0, true, 99'999},  {1, false, 99'999},
                          {1, true, 9'999},    {3, false, 99'999}, {3, true, 9'999},
                          {4, false, 99'999},  {4, true, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.decimals) +
                     (c.negative ? " decimals, negative" : " decimals"));
        EXPECT_EQ(largestFitting(Protocol::ShenTong, c.decimals, c.negative), c.largest);
        if (c.largest < 0) {
            continue;
        }
        const auto reading = readingOf(c.negative ? -c.largest : c.largest, c.decimals);
        const auto frame = scale::encodeShenTongFrame(reading);
        scale::RxFrameBytes rx{};
        double weight = 0;
        const auto decoded = scale::decodeShenTongFrame(frame, rx, weight);
        EXPECT_EQ(decoded.weightText, scale::shenTongText(reading));
        const auto larger =
            readingOf(c.negative ? -(c.largest * 10 + 9) : c.largest * 10 + 9, c.decimals);
        EXPECT_FALSE(scale::shenTongFits(larger));
    }
    EXPECT_EQ(largestFitting(Protocol::Continuous, 4, true), 999'999);
}

}  // namespace
}  // namespace indicatorsim
