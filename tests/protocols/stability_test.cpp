#include <gtest/gtest.h>

#include <vector>

#include "protocols/stability.h"

namespace scale {
namespace {

struct Step {
    std::int64_t at;
    double weight;
    int decimals;
    bool stable;
    bool became;
};

void expectSteps(StabilityTracker tracker, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        EXPECT_EQ(tracker.update(step.at, step.weight, step.decimals), step.stable)
            << "at " << step.at;
        EXPECT_EQ(tracker.becameStable(), step.became) << "at " << step.at;
    }
}

TEST(Stability, SettlesAfterTheTimeWithinTheBand) {
    // One count of 0.01 either side of the spell's first reading keeps it going.
    expectSteps(StabilityTracker(1, 500), {{0, 10.00, 2, false, false},
                                           {200, 10.01, 2, false, false},
                                           {400, 9.99, 2, false, false},
                                           {500, 10.00, 2, true, true},
                                           {600, 10.01, 2, true, false},
                                           {700, 10.02, 2, false, false},
                                           {1100, 10.02, 2, false, false},
                                           {1200, 10.03, 2, true, true}});
}

TEST(Stability, ARampNeverSettlesAndNewDecimalsStartAgain) {
    expectSteps(StabilityTracker(1, 300), {{0, 1.0, 1, false, false},
                                           {200, 1.2, 1, false, false},
                                           {400, 1.4, 1, false, false},
                                           {600, 1.6, 1, false, false},
                                           {900, 1.60, 2, false, false},
                                           {1200, 1.60, 2, true, true}});
    // A band of zero counts wants the very same reading; a stable time of zero is stable at once.
    expectSteps(StabilityTracker(0, 0), {{0, 5, 0, true, true}, {1, 6, 0, true, false}});
}

TEST(Stability, AResetForgetsTheSpell) {
    StabilityTracker tracker(1, 100);
    tracker.update(0, 3, 0);
    EXPECT_TRUE(tracker.update(100, 3, 0));
    tracker.reset();
    EXPECT_FALSE(tracker.update(150, 3, 0));
    EXPECT_TRUE(tracker.update(250, 3, 0));
    EXPECT_TRUE(tracker.becameStable());
}

}  // namespace
}  // namespace scale
