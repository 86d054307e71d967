#include "app/timers/qttimercontrol.h"

namespace scale {

QtTimerControl::QtTimerControl() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void QtTimerControl::arm(int milliseconds) {
    m_timer.start(milliseconds);
}

void QtTimerControl::disarm() {
    m_timer.stop();
}

}  // namespace scale
