#include "app/timers/timercontrol.h"

namespace scale {

void TimerControl::setInterval(int milliseconds) {
    m_interval = milliseconds < 0 ? 0 : milliseconds;
    reschedule();
}

void TimerControl::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    reschedule();
}

void TimerControl::reschedule() {
    if (running()) {
        arm(m_interval);
    } else {
        disarm();
    }
}

void TimerControl::tick() {
    if (running() && m_onTick) {
        m_onTick();
    }
}

}  // namespace scale
