#include <gtest/gtest.h>

#include "tools/scale-read/mqtt/stablequeue.h"

namespace scaleread {
namespace {

TEST(StableQueue, KeepsTheNewestInOrderAndCountsWhatItDrops) {
    StableQueue queue(3);
    for (int i = 1; i <= 5; ++i) {
        queue.push(std::to_string(i));
    }
    EXPECT_EQ(queue.takeDropped(), 2u);
    EXPECT_EQ(queue.takeDropped(), 0u);
    std::string kept;
    while (!queue.empty()) {
        kept += queue.front();
        queue.pop();
    }
    EXPECT_EQ(kept, "345");
    StableQueue none(0);
    none.push("1");
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.takeDropped(), 1u);
}

}  // namespace
}  // namespace scaleread
