// Receive events to the active protocol's reader; the poll timer (Timer1) and the watchdog
// (Timer3) that pace command mode and bring back "Load..." when frames stop.
#include "app/serial/serialcontrol.h"
#include "app/timers/timercontrol.h"
#include "app/window/form1.h"
#include "app/window/protocolmodes.h"

namespace scale {

void Form1::MSComm1_OnComm() {
    const std::int16_t event = MSComm1.CommEvent();
    if (event == SerialControl::kEventReceive) {
        readActiveMode();
        if (const ProtocolModeInfo* mode = protocolModeInfo(m_state.ProtocolMode);
            mode != nullptr && mode->polls) {
            Timer1.setInterval(100);  // next request 100 ms after this reply
            Timer1.setEnabled(true);
        }
        // Whatever the reader did not take is stale: the next event starts on fresh bytes.
        (void)MSComm1.setInBufferCount(0);
    } else if (event == SerialControl::kEventSend) {
        (void)MSComm1.setOutBufferCount(0);
        Timer3.setEnabled(true);
    }
}

void Form1::Timer1_Timer() {
    YH_Zhiling_Send();
    Timer1.setEnabled(false);
    Timer3.setEnabled(true);
}

void Form1::Timer3_Timer() {
    Timer3.setEnabled(false);
    if (m_state.FrameSeen == 0) {
        showWaiting();
        // An empty comparison buffer makes the next frame count as changed, so it is shown.
        m_state.RxFrame.fill(0);
    }
    m_state.FrameSeen = 0;
    if (const ProtocolModeInfo* mode = protocolModeInfo(m_state.ProtocolMode)) {
        if (mode->polls) {
            Timer1.setInterval(100);
            Timer1.setEnabled(true);
        } else {
            Timer3.setEnabled(true);
        }
    }
}

}  // namespace scale
