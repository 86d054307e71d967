#pragma once

#include <cstdint>
#include <deque>
#include <utility>

namespace scaleread {

// A station's weights of the last five minutes, for a board that opens or reloads to draw its
// trend at once. Bounded: at most one weight a second is kept, whatever the frame rate, so that
// a board's first message stays small with many stations (a few kB each).
class WeightTrend {
public:
    static constexpr std::int64_t kSpanMillis = 5 * 60 * 1000;
    static constexpr std::int64_t kStepMillis = 1000;

    // A weight read at `nowMillis` (steady, never going back).
    void add(std::int64_t nowMillis, double weight);
    // Each kept weight's age at `nowMillis`, oldest first.
    std::deque<std::pair<std::int64_t, double>> ages(std::int64_t nowMillis) const;

private:
    void forget(std::int64_t nowMillis);

    std::deque<std::pair<std::int64_t, double>> m_points;  // time, weight
};

}  // namespace scaleread
