#include "support/manualclock.h"

#include <algorithm>

namespace scale::test {

void ManualClock::callAt(qint64 at, Action action) {
    m_queue.push_back({std::max(at, m_now), m_order++, std::move(action)});
}

void ManualClock::advance(qint64 milliseconds) {
    const qint64 target = m_now + milliseconds;
    for (;;) {
        const auto next =
            std::min_element(m_queue.begin(), m_queue.end(), [](const auto& a, const auto& b) {
                return a.at != b.at ? a.at < b.at : a.order < b.order;
            });
        if (next == m_queue.end() || next->at > target) {
            break;
        }
        m_now = next->at;
        Action action = std::move(next->action);
        m_queue.erase(next);
        action();
    }
    m_now = target;
}

void ManualTimer::arm(int milliseconds) {
    ++m_generation;
    schedule(m_generation, m_clock.now() + milliseconds);
}

void ManualTimer::schedule(std::uint64_t generation, qint64 at) {
    m_clock.callAt(at, [this, generation] {
        if (generation != m_generation) {
            return;  // re-armed or stopped since
        }
        // The next period is booked before the handler runs; a handler that changes the timer
        // re-arms it and so makes this booking stale.
        schedule(generation, m_clock.now() + Interval());
        ++m_ticks;
        tick();
    });
}

}  // namespace scale::test
