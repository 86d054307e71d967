#pragma once

#include <functional>

namespace scale {

// A millisecond timer as the window uses it: it ticks every Interval milliseconds while Enabled;
// interval 0 never ticks; setting the interval restarts the countdown; enabling a timer that is
// already enabled changes nothing. Ticks come from the event loop, never from inside a setter.
// Subclasses supply the clock: QtTimerControl in the program, a manual clock in the tests.
class TimerControl {
public:
    virtual ~TimerControl() = default;

    void setInterval(int milliseconds);
    int Interval() const { return m_interval; }
    void setEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }
    void setOnTick(std::function<void()> handler) { m_onTick = std::move(handler); }

    // True while a tick is due at some point: enabled with a non-zero interval.
    bool running() const { return m_enabled && m_interval > 0; }

protected:
    // Start counting `milliseconds` from now, replacing any countdown in progress.
    virtual void arm(int milliseconds) = 0;
    virtual void disarm() = 0;
    // For the subclass: the countdown has run out.
    void tick();

private:
    void reschedule();

    int m_interval = 0;
    bool m_enabled = true;
    std::function<void()> m_onTick;
};

}  // namespace scale
