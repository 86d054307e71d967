#pragma once

#include <QTimer>

#include "app/timers/timercontrol.h"

namespace scale {

// TimerControl on a precise QTimer: the command-mode cycle counts on 1 and 100 millisecond
// intervals, which a coarse timer would stretch.
class QtTimerControl : public TimerControl {
public:
    QtTimerControl();

protected:
    void arm(int milliseconds) override;
    void disarm() override;

private:
    QTimer m_timer;
};

}  // namespace scale
