#pragma once

#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/timers/timercontrol.h"

namespace scale::test {

// Stands in for time and for the event loop: actions are queued for a moment and run in order
// of time, then of queueing, when the test advances the clock. Nothing runs by itself.
class ManualClock {
public:
    using Action = std::function<void()>;

    qint64 now() const { return m_now; }
    // Runs `action` at `at` (not before the next advance).
    void callAt(qint64 at, Action action);
    // Queues `action` on the "event loop" for now.
    void post(Action action) { callAt(m_now, std::move(action)); }
    // Moves time forward by `milliseconds`, running everything that falls due on the way.
    void advance(qint64 milliseconds);
    // Runs what is due now.
    void runPending() { advance(0); }

private:
    struct Entry {
        qint64 at;
        std::uint64_t order;
        Action action;
    };
    qint64 m_now = 0;
    std::uint64_t m_order = 0;
    std::vector<Entry> m_queue;
};

// A TimerControl on the manual clock.
class ManualTimer : public TimerControl {
public:
    explicit ManualTimer(ManualClock& clock) : m_clock(clock) {}
    int ticks() const { return m_ticks; }

protected:
    void arm(int milliseconds) override;
    void disarm() override { ++m_generation; }

private:
    void schedule(std::uint64_t generation, qint64 at);

    ManualClock& m_clock;
    std::uint64_t m_generation = 0;
    int m_ticks = 0;
};

}  // namespace scale::test
