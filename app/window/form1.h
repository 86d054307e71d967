#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "app/window/handlergate.h"
#include "protocols/window/decoderesult.h"
#include "protocols/window/frames.h"

namespace scale {

class FormView;
class SerialControl;
class TimerControl;

// The window-level state every procedure shares. Flags are 16-bit -1 (true) and 0 (false).
struct FormState {
    std::int16_t ProtocolMode = 0;  // 0 continuous, 1 command, 2 ShenTong; set only by apply
    std::int16_t ReadLength = 0;    // bytes per receive event: 24, 14 or 16
    RxFrameBytes RxFrame{};
    TxFrameBytes TxFrame{};
    double WeightValue = 0.0;    // magnitude of the last decoded weight, kg
    std::int16_t FrameSeen = 0;  // a frame was accepted since the last watchdog tick
};

// The main window's code: start-up and apply, the port procedures, the three protocols, receive
// dispatch and the poll and watchdog timers, and the weight readout. It works on the controls
// through FormView, SerialControl and TimerControl, so it runs the same against widgets and a
// real port as against the tests' fakes and manual clock.
class Form1 {
public:
    static constexpr std::uint32_t kRed = 255;
    static constexpr std::uint32_t kGreen = 20u | (255u << 8u) | (20u << 16u);  // RGB(20,255,20)

    // `dataFolder` holds Setting.ini (see dataFolder()); `decimalSeparator` is the host's, for the
    // readout.
    Form1(FormView& view, SerialControl& MSComm1, TimerControl& Timer1, TimerControl& Timer3,
          QString dataFolder, QString decimalSeparator = QStringLiteral("."));

    // Host events. Each runs as one handler: never inside another (see HandlerGate).
    void Form_Load();
    void Command1_Click();
    void Form_GotFocus();

    const FormState& state() const { return m_state; }
    QString settingsPath() const;

private:
    // Start-up and apply.
    void load();
    void apply();
    bool restoreSettings();
    void writeDefaults();
    void saveSettings();
    void reportUnsavedSettings();

    // Port set-up.
    void Comm_Load();
    void Comm_Open();
    void Comm_Close();

    // The three protocols, driven by their table (app/window/protocolmodes.h). The YH_ procedures are
    // the named entries of each mode; ProtocolMode picks one.
    void armActiveMode();
    void readActiveMode();
    void portBack();
    bool prepareReceive(std::int16_t readLength);
    void armMode(std::int16_t mode);
    void readMode(std::int16_t mode);
    void YH_LianXv();
    void YH_LianXv_Read();
    void YH_ZhiLing();
    void YH_Zhiling_Send();
    void YH_ZhiLing_Read();
    void YH_ShenTong();
    void YH_ShenTong_Read();
    void showDecodeResult(const DecodeResult& result);

    // Receive dispatch and timers.
    void MSComm1_OnComm();
    void Timer1_Timer();
    void Timer3_Timer();

    // The readout, Label1.
    void setLabel1Caption(const QString& caption);
    void Label1_Change();
    void showWaiting();
    void showWeighing(const QString& weightText, bool signStep);
    void showPortFailed();

    FormView& m_view;
    SerialControl& MSComm1;
    TimerControl& Timer1;
    TimerControl& Timer3;
    QString m_dataFolder;
    std::string m_decimalSeparator;  // UTF-8, converted once for the decoders
    HandlerGate m_gate;
    FormState m_state;
};

}  // namespace scale
