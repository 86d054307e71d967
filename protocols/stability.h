#pragma once

#include <cstdint>

namespace scale {

// Whether a weight has settled. None of the indicators' frames carries a motion flag, so it is
// measured: the weight is stable once the readings have stayed within `bandCounts` counts of the
// last digit of the first reading of a calm spell for `stableMillis`.
class StabilityTracker {
public:
    StabilityTracker(int bandCounts, std::int64_t stableMillis)
        : m_band(bandCounts), m_stableMillis(stableMillis) {}

    // Takes a reading at `nowMillis` (a monotonic clock) and tells whether the weight is stable.
    bool update(std::int64_t nowMillis, double weight, int decimals);
    // True when the last update made the weight stable after it was not.
    bool becameStable() const { return m_becameStable; }
    // Forgets the calm spell, after a gap in the readings.
    void reset();

private:
    int m_band;
    std::int64_t m_stableMillis;
    bool m_calm = false;
    std::int64_t m_anchorCounts = 0;
    int m_anchorDecimals = 0;
    std::int64_t m_since = 0;
    bool m_stable = false;
    bool m_becameStable = false;
};

}  // namespace scale
