#include "tools/scale-read/http/stationstate/weighttrend.h"

namespace scaleread {

void WeightTrend::add(std::int64_t nowMillis, double weight) {
    forget(nowMillis);
    if (!m_points.empty() && nowMillis - m_points.back().first < kStepMillis) {
        return;
    }
    m_points.emplace_back(nowMillis, weight);
}

std::deque<std::pair<std::int64_t, double>> WeightTrend::ages(std::int64_t nowMillis) const {
    std::deque<std::pair<std::int64_t, double>> ages;
    for (const auto& [at, weight] : m_points) {
        if (nowMillis - at < kSpanMillis) {
            ages.emplace_back(nowMillis - at, weight);
        }
    }
    return ages;
}

void WeightTrend::forget(std::int64_t nowMillis) {
    while (!m_points.empty() && nowMillis - m_points.front().first >= kSpanMillis) {
        m_points.pop_front();
    }
}

}  // namespace scaleread
