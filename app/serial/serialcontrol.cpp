#include "app/serial/serialcontrol.h"

#include <algorithm>
#include <limits>

namespace scale {
namespace {

std::int16_t clampCount(qint64 count) {
    return static_cast<std::int16_t>(
        std::clamp<qint64>(count, 0, std::numeric_limits<std::int16_t>::max()));
}

}  // namespace

bool SerialControl::setCommPort(std::int16_t port) {
    if (port < 1 || port > 20 || deviceIsOpen()) {
        return false;
    }
    m_commPort = port;
    return true;
}

bool SerialControl::setSettings(const QString& settings) {
    const auto line = parseLineSettings(settings.toStdString());
    if (!line || (deviceIsOpen() && !applyLineSettings(*line))) {
        return false;
    }
    m_settingsText = settings;
    m_line = *line;
    return true;
}

bool SerialControl::setPortOpen(bool open) {
    endWatch();
    if (!open) {
        closeDevice();
        return true;
    }
    if (deviceIsOpen() || !openDevice(m_commPort, m_line)) {
        return false;
    }
    bytesArrived();
    return true;
}

bool SerialControl::setInputMode(std::int32_t mode) {
    if (mode != 0 && mode != 1) {
        return false;
    }
    m_inputMode = mode;
    return true;
}

bool SerialControl::setInputLen(std::int16_t length) {
    if (length < 0) {
        return false;
    }
    m_inputLen = length;
    return true;
}

bool SerialControl::setRThreshold(std::int16_t threshold) {
    if (threshold < 0) {
        return false;
    }
    m_rThreshold = threshold;
    if (deviceIsOpen()) {
        bytesArrived();
    }
    return true;
}

bool SerialControl::setInBufferCount(std::int16_t count) {
    if (count != 0 || !deviceIsOpen()) {
        return false;
    }
    discardInput();
    return true;
}

std::optional<std::int16_t> SerialControl::InBufferCount() const {
    if (!deviceIsOpen()) {
        return std::nullopt;
    }
    return clampCount(bytesWaiting());
}

bool SerialControl::setOutBufferCount(std::int16_t count) {
    if (count != 0 || !deviceIsOpen()) {
        return false;
    }
    discardOutput();
    return true;
}

std::optional<std::int16_t> SerialControl::OutBufferCount() const {
    if (!deviceIsOpen()) {
        return std::nullopt;
    }
    return clampCount(bytesToSend());
}

std::optional<QByteArray> SerialControl::Input() {
    if (!deviceIsOpen() || m_inputMode != 1) {
        return std::nullopt;
    }
    return readBytes(m_inputLen == 0 ? bytesWaiting() : m_inputLen);
}

bool SerialControl::setOutput(const QByteArray& bytes) {
    return deviceIsOpen() && writeBytes(bytes);
}

void SerialControl::bytesArrived() {
    if (m_eventPosted || m_rThreshold <= 0 || !deviceIsOpen() || bytesWaiting() < m_rThreshold) {
        return;
    }
    m_eventPosted = true;
    post([this] { deliverEvent(); });
}

void SerialControl::deliverEvent() {
    m_eventPosted = false;
    // The bytes may have been read or discarded since the event was posted.
    if (m_rThreshold <= 0 || !deviceIsOpen() || bytesWaiting() < m_rThreshold) {
        return;
    }
    m_commEvent = kEventReceive;
    if (m_onBytes) {
        const QByteArray bytes = readBytes(bytesWaiting());
        m_onBytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size())));
        return;
    }
    if (m_onComm) {
        m_onComm();
    }
    // No re-check here: bytes left unread raise nothing until more arrive, so a handler that
    // cannot run yet (a message box is open) never turns into a stream of events.
}

void SerialControl::deviceLost() {
    if (!deviceIsOpen()) {
        return;
    }
    closeDevice();
    m_watching = true;
    startWatch();
    postLineEvent(LineEvent::Lost);
}

void SerialControl::checkForReturn() {
    if (!m_watching || !devicePresent(m_commPort) || !openDevice(m_commPort, m_line)) {
        return;
    }
    endWatch();
    postLineEvent(LineEvent::Back);
    bytesArrived();
}

void SerialControl::endWatch() {
    if (m_watching) {
        m_watching = false;
        stopWatch();
    }
}

void SerialControl::postLineEvent(LineEvent event) {
    post([this, event] {
        if (m_onLineEvent) {
            m_onLineEvent(event);
        }
    });
}

}  // namespace scale
