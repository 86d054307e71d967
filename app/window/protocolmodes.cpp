// The three indicator protocols: their table, arming and reading, and the command-mode request.
#include "app/window/protocolmodes.h"

#include <QByteArray>
#include <QString>
#include <array>

#include "app/serial/serialcontrol.h"
#include "app/timers/timercontrol.h"
#include "app/window/form1.h"
#include "app/window/formview.h"
#include "protocols/window/commandrequest.h"
#include "protocols/window/shentong.h"
#include "protocols/window/weightframe.h"

namespace scale {
namespace {

DecodeResult decodeContinuous(std::span<const std::uint8_t> chunk, RxFrameBytes& rxFrame,
                              double& weightValue, std::string_view separator) {
    return decodeWeightFrame(chunk, kContinuousLayout, rxFrame, weightValue, separator);
}

DecodeResult decodeCommandReply(std::span<const std::uint8_t> chunk, RxFrameBytes& rxFrame,
                                double& weightValue, std::string_view separator) {
    return decodeWeightFrame(chunk, kCommandReplyLayout, rxFrame, weightValue, separator);
}

// Continuous reads 24 bytes, two frames' worth: any 24 bytes of an unbroken stream hold one
// whole frame. A command reply is 14 bytes; ShenTong reads 16, two of its frames.
constexpr std::array<ProtocolModeInfo, 3> kProtocolModes = {{
    {24, decodeContinuous, false, true},
    {14, decodeCommandReply, true, false},
    {16, decodeShenTongFrame, false, true},
}};

}  // namespace

const ProtocolModeInfo* protocolModeInfo(std::int16_t mode) {
    return mode >= 0 && mode < static_cast<std::int16_t>(kProtocolModes.size())
               ? &kProtocolModes[static_cast<std::size_t>(mode)]
               : nullptr;
}

// Arming steps shared by all three modes: binary input, read length and receive threshold of
// one mode's chunk, both buffers emptied. Fails at the first step the control refuses (the
// buffers cannot be emptied while the port is closed).
bool Form1::prepareReceive(std::int16_t readLength) {
    if (!MSComm1.setInputMode(1)) {
        return false;
    }
    m_state.ReadLength = readLength;
    return MSComm1.setInputLen(m_state.ReadLength) && MSComm1.setRThreshold(m_state.ReadLength) &&
           MSComm1.setInBufferCount(0) && MSComm1.setOutBufferCount(0);
}

void Form1::armMode(std::int16_t mode) {
    const ProtocolModeInfo* info = protocolModeInfo(mode);
    if (info == nullptr) {
        return;
    }
    if (!prepareReceive(info->readLength)) {
        showPortFailed();
        if (info->failureDisablesApply) {
            m_view.setApplyEnabled(false);
        }
        return;
    }
    if (info->polls) {
        Timer1.setInterval(1);  // the first request goes out as soon as apply has finished
        Timer1.setEnabled(true);
    } else {
        Timer3.setEnabled(true);
    }
}

void Form1::YH_LianXv() {
    armMode(0);
}

void Form1::YH_ZhiLing() {
    armMode(1);
}

void Form1::YH_ShenTong() {
    armMode(2);
}

void Form1::YH_Zhiling_Send() {
    const auto request = buildCommandRequest(m_state.TxFrame);
    // A refused send is silent: the poll cycle goes on and the next tick tries again.
    (void)MSComm1.setOutput(QByteArray(reinterpret_cast<const char*>(request.data()),
                                       static_cast<qsizetype>(request.size())));
}

void Form1::readMode(std::int16_t mode) {
    const ProtocolModeInfo* info = protocolModeInfo(mode);
    if (info == nullptr) {
        return;
    }
    const auto chunk = MSComm1.Input();
    if (!chunk) {
        showWaiting();  // the read failed: the raw labels keep their text
        return;
    }
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(chunk->constData()),
                          static_cast<std::size_t>(chunk->size()));
    showDecodeResult(info->decode(bytes, m_state.RxFrame, m_state.WeightValue, m_decimalSeparator));
}

void Form1::YH_LianXv_Read() {
    readMode(0);
}

void Form1::YH_ZhiLing_Read() {
    readMode(1);
}

void Form1::YH_ShenTong_Read() {
    readMode(2);
}

void Form1::showDecodeResult(const DecodeResult& result) {
    if (!result.capture.failed) {
        m_view.setLabelCaption(
            FormView::Label::Decimal,
            QStringLiteral("十进制显示：") + QString::fromLatin1(result.capture.decimal));
        m_view.setLabelCaption(FormView::Label::Hex, QStringLiteral("十六进制显示：") +
                                                         QString::fromLatin1(result.capture.hex));
        // One character per byte: bytes 0x80 to 0xFF are taken as Latin-1.
        m_view.setLabelCaption(
            FormView::Label::Characters,
            QStringLiteral("字符串：") + QString::fromLatin1(result.capture.characters));
    }
    switch (result.readout) {
        case ReadoutUpdate::Waiting:
            showWaiting();
            break;
        case ReadoutUpdate::Unchanged:
            break;
        case ReadoutUpdate::Weighing:
            showWeighing(QString::fromStdString(result.weightText), result.signStep);
            break;
    }
    if (result.frameSeen) {
        m_state.FrameSeen = -1;
    }
}

}  // namespace scale
