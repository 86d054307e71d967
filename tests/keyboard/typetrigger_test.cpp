#include <gtest/gtest.h>

#include "tools/scale-read/keyboard/typetrigger.h"

namespace scaleread {
namespace {

scale::StreamFrame reading(double weight, scale::Motion motion = scale::Motion::Unknown) {
    scale::StreamFrame frame;
    frame.weight = weight;
    frame.decimals = 3;
    frame.motion = motion;
    return frame;
}

// Feeds (weight, stable) pairs a tenth of a second apart; the weights typed.
std::vector<double> typed(TypeTrigger& trigger, const std::vector<std::pair<double, bool>>& frames,
                          std::int64_t& now) {
    std::vector<double> weights;
    for (const auto& [weight, stable] : frames) {
        now += 100;
        if (trigger.frame(reading(weight), stable, now)) {
            weights.push_back(weight);
        }
    }
    return weights;
}

TEST(TypeTrigger, SettleTypesOneValuePerPlacementOfAContinuousStream) {
    TypeTrigger trigger({});
    std::int64_t now = 0;
    EXPECT_EQ(typed(trigger,
                    {{0, true}, {5, false}, {12.345, false}, {12.345, true}, {12.345, true},
                     {12.346, true},            // within the stable band: the same placement
                     {0.009, true},             // within 10 counts of zero: the load is off
                     {12.345, true}, {12.345, true},
                     {15, false}, {15, true},   // settled elsewhere without going off
                     {0.003, false}, {0.008, true}, {0.004, true}},  // near zero: never typed
                    now),
              (std::vector<double>{12.345, 12.345, 15}));
    // A frame that says motion is never typed, even where the measure calls it stable.
    EXPECT_FALSE(trigger.frame(reading(0), true, now += 100));
    EXPECT_FALSE(trigger.frame(reading(20, scale::Motion::Moving), true, now += 100));
    EXPECT_TRUE(trigger.frame(reading(20, scale::Motion::Steady), true, now += 100));
}

TEST(TypeTrigger, LeastWeightAndZeroBandAreTheOperators) {
    TypeRules rules;
    rules.zeroBand = 0.5;
    rules.minWeight = 2.0;
    TypeTrigger trigger(rules);
    std::int64_t now = 0;
    EXPECT_EQ(typed(trigger, {{1.5, true}, {0.4, true}, {2.0, true}, {0.6, true}, {2.0, true},
                              {0.4, true}, {2.0, true}},
                    now),
              (std::vector<double>{2.0, 2.0}));
}

TEST(TypeTrigger, HotkeyTypesTheWeightStandingOrTheNextWithinTheWait) {
    TypeRules rules;
    rules.on = TypeOn::Hotkey;
    TypeTrigger trigger(rules);
    std::int64_t now = 0;
    EXPECT_TRUE(typed(trigger, {{4, true}}, now).empty());
    EXPECT_TRUE(trigger.hotkey(now));
    EXPECT_EQ(trigger.standing()->weight, 4);

    EXPECT_TRUE(typed(trigger, {{6, false}}, now).empty());
    EXPECT_FALSE(trigger.hotkey(now));
    EXPECT_EQ(typed(trigger, {{6, false}, {6, true}, {6, true}}, now), (std::vector<double>{6}));
    EXPECT_FALSE(trigger.hotkeyExpired(now + 5000));  // typed: nothing left to expire

    EXPECT_TRUE(typed(trigger, {{8, false}}, now).empty());
    EXPECT_FALSE(trigger.hotkey(now));
    EXPECT_FALSE(trigger.hotkeyExpired(now + 2000));
    EXPECT_TRUE(trigger.hotkeyExpired(now + 2001));
    EXPECT_TRUE(typed(trigger, {{8, true}}, now).empty());  // too late
}

TEST(TypeTrigger, PrintTypesEveryFrameThatDoesNotMove) {
    TypeRules rules;
    rules.on = TypeOn::Print;
    TypeTrigger trigger(rules);
    std::int64_t now = 0;
    EXPECT_EQ(typed(trigger, {{3, false}, {3, false}, {0, false}}, now),
              (std::vector<double>{3, 3, 0}));
    EXPECT_FALSE(trigger.frame(reading(3, scale::Motion::Moving), false, now));
}

}  // namespace
}  // namespace scaleread
