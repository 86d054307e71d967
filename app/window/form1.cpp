#include "app/window/form1.h"

#include <QDir>

#include "app/serial/serialcontrol.h"
#include "app/settings/settingsfile.h"
#include "app/timers/timercontrol.h"
#include "app/window/formview.h"
#include "device/baudrates.h"

namespace scale {

Form1::Form1(FormView& view, SerialControl& comm, TimerControl& timer1, TimerControl& timer3,
             QString dataFolder, QString decimalSeparator)
    : m_view(view),
      MSComm1(comm),
      Timer1(timer1),
      Timer3(timer3),
      m_dataFolder(std::move(dataFolder)),
      m_decimalSeparator(decimalSeparator.toStdString()) {
    MSComm1.setOnComm(
        [this] { m_gate.run(HandlerGate::Source::Comm, [this] { MSComm1_OnComm(); }); });
    Timer1.setOnTick(
        [this] { m_gate.run(HandlerGate::Source::Timer1, [this] { Timer1_Timer(); }); });
    Timer3.setOnTick(
        [this] { m_gate.run(HandlerGate::Source::Timer3, [this] { Timer3_Timer(); }); });
    MSComm1.setOnLineEvent([this](SerialControl::LineEvent event) {
        if (event == SerialControl::LineEvent::Back) {
            m_gate.run(HandlerGate::Source::PortBack, [this] { portBack(); });
        }
    });
}

void Form1::Form_Load() {
    m_gate.run(HandlerGate::Source::Load, [this] { load(); });
}

void Form1::Command1_Click() {
    m_gate.run(HandlerGate::Source::Click, [this] { apply(); });
}

void Form1::Form_GotFocus() {
    m_gate.run(HandlerGate::Source::Focus, [this] { Label1_Change(); });
}

QString Form1::settingsPath() const {
    return settingsFilePath(m_dataFolder);
}

void Form1::load() {
    // The readout's start-up appearance: "Load..." in red, 100 points, centred for the new size.
    setLabel1Caption(QStringLiteral("Load..."));
    m_view.setReadoutFontSize(100.0f);
    m_view.setReadoutForeColor(kRed);
    m_view.setReadoutTop(50.0f);
    const double formWidth = m_view.formWidth();
    const double labelWidth = m_view.readoutWidth();
    m_view.setReadoutLeft(static_cast<float>(formWidth / 2.0 - labelWidth / 2.0));

    m_view.setWindowCaption(QStringLiteral("通信测试程序"));
    m_state.FrameSeen = 0;
    Timer3.setInterval(500);
    Timer3.setEnabled(false);
    for (int n = 1; n <= 20; ++n) {
        m_view.addComboItem(1, QStringLiteral("Com") + QString::number(n));
    }
    for (const std::int32_t baud : kBaudRates) {
        m_view.addComboItem(2, QString::number(baud));
    }
    m_state.RxFrame.fill(0);
    m_view.setLabelCaption(FormView::Label::Version, QStringLiteral("软件版本：V1.2"));

    // The boxes still show their design texts here, so this opens port 1 at 2400,N,8,1.
    Comm_Load();
    Comm_Open();

    if (!restoreSettings()) {
        writeDefaults();
    }
    apply();
}

void Form1::apply() {
    Comm_Close();
    Comm_Load();
    Comm_Open();

    // ProtocolMode is stored before arming: the readers and timers key on it. Any other
    // position leaves both the mode and its arming as they were.
    const int position = m_view.comboListIndex(6);
    if (position >= -1 && position <= 2) {
        m_state.ProtocolMode = static_cast<std::int16_t>(position == -1 ? 0 : position);
        armActiveMode();
    }
    saveSettings();
}

void Form1::armActiveMode() {
    switch (m_state.ProtocolMode) {
        case 0:
            YH_LianXv();
            break;
        case 1:
            YH_ZhiLing();
            break;
        case 2:
            YH_ShenTong();
            break;
        default:
            break;
    }
}

void Form1::readActiveMode() {
    switch (m_state.ProtocolMode) {
        case 0:
            YH_LianXv_Read();
            break;
        case 1:
            YH_ZhiLing_Read();
            break;
        case 2:
            YH_ShenTong_Read();
            break;
        default:
            break;
    }
}

void Form1::portBack() {
    // The device returned after a hang-up and the control reopened it with the same port and
    // line settings: arm the mode again as apply would, without touching the settings file.
    // An apply since then has set the port up itself.
    if (MSComm1.PortOpen()) {
        armActiveMode();
    }
}

bool Form1::restoreSettings() {
    const auto text = readSettingsFile(settingsPath());
    if (!text) {
        return false;
    }
    const auto positions = parseSettings(*text);
    if (!positions) {
        return false;
    }
    for (std::size_t i = 0; i < positions->size(); ++i) {
        if (!m_view.setComboListIndex(static_cast<int>(i) + 1, (*positions)[i])) {
            return false;
        }
    }
    return true;
}

void Form1::writeDefaults() {
    if (!writeSettingsFile(settingsPath(), kDefaultPositions)) {
        reportUnsavedSettings();
    }
    for (std::size_t i = 0; i < kDefaultPositions.size(); ++i) {
        (void)m_view.setComboListIndex(static_cast<int>(i) + 1, kDefaultPositions[i]);
    }
}

void Form1::reportUnsavedSettings() {
    m_view.showMessage(QStringLiteral("设置无法保存：") + QDir::toNativeSeparators(settingsPath()));
}

void Form1::saveSettings() {
    ComboPositions positions{};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = m_view.comboListIndex(static_cast<int>(i) + 1);
    }
    // A failed save loses only the remembered choices; the port and the armed mode stay as set.
    if (!writeSettingsFile(settingsPath(), positions)) {
        reportUnsavedSettings();
    }
}

}  // namespace scale
