#include "protocols/stability.h"

#include <cmath>
#include <cstdlib>

namespace scale {

bool StabilityTracker::update(std::int64_t nowMillis, double weight, int decimals) {
    const double scaled = weight * std::pow(10.0, decimals);
    // Beyond what an indicator shows, there is nothing to compare in counts.
    const auto counts = std::fabs(scaled) < 1e15 ? std::llround(scaled) : 0;
    const bool within = m_calm && decimals == m_anchorDecimals &&
                        std::llabs(counts - m_anchorCounts) <= m_band;
    if (!within) {
        m_calm = true;
        m_anchorCounts = counts;
        m_anchorDecimals = decimals;
        m_since = nowMillis;
    }
    const bool wasStable = m_stable;
    m_stable = nowMillis - m_since >= m_stableMillis;
    m_becameStable = m_stable && !wasStable;
    return m_stable;
}

void StabilityTracker::reset() {
    m_calm = false;
    m_stable = false;
    m_becameStable = false;
}

}  // namespace scale
