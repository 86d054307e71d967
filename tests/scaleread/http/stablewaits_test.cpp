#include <gtest/gtest.h>

#include <string>

#include "tools/scale-read/http/stationstate/stablewaits.h"

namespace scaleread {
namespace {

// The slots of `waits`, as one text.
std::string slotList(const std::vector<StableWaits::Wait>& waits) {
    std::string text;
    for (const StableWaits::Wait& wait : waits) {
        text += std::to_string(wait.slot) + ' ';
    }
    return text;
}

TEST(StableWaits, ExpireByDeadlineWithinTheirCapsAndGoWithTheirStationOrClient) {
    StableWaits waits(4, 3);
    // connection, slot, station, deadline, wait, peer
    EXPECT_TRUE(waits.add({1, 0, 0, 300, 300, "a", {}}));
    EXPECT_TRUE(waits.add({1, 1, 1, 100, 100, "a", {}}));
    EXPECT_TRUE(waits.add({2, 2, 0, 200, 200, "a", {}}));
    EXPECT_FALSE(waits.add({3, 3, 0, 50, 50, "a", {}}));  // the peer's share is full
    EXPECT_TRUE(waits.add({3, 4, 1, 400, 400, "b", {}}));
    EXPECT_FALSE(waits.add({4, 5, 0, 50, 50, "c", {}}));  // the total is full
    EXPECT_EQ(waits.nextDeadline(), 100);

    EXPECT_EQ(slotList(waits.expire(250)), "1 2 ");
    EXPECT_EQ(waits.nextDeadline(), 300);
    EXPECT_TRUE(waits.add({4, 6, 0, 500, 500, "a", {}}));  // room again, for the peer too
    EXPECT_EQ(slotList(waits.takeStation(0)), "0 6 ");
    waits.dropConnection(3);
    EXPECT_EQ(waits.size(), 0u);
    EXPECT_EQ(waits.nextDeadline(), std::nullopt);
    EXPECT_TRUE(waits.expire(1000).empty());
}

}  // namespace
}  // namespace scaleread
