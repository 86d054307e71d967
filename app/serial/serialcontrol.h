#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "device/linesettings.h"

namespace scale {

// The serial communications control the window talks to: its properties, its receive event and
// the rules the window relies on. Every setter reports whether the control accepted the value;
// a refused value changes nothing. The device side (opening, reading, writing) is left to a
// subclass: QtSerialControl for real ports, a fake in the tests.
class SerialControl {
public:
    static constexpr std::int16_t kEventReceive = 2;  // at least RThreshold bytes are waiting
    static constexpr std::int16_t kEventSend = 1;     // the send buffer has drained

    // What happened to the device behind an open port.
    enum class LineEvent {
        Lost,  // it went away (a pulled cable, a hung-up line): the port is closed and watched
        Back,  // it returned and was reopened with the same port number and line settings
    };

    virtual ~SerialControl() = default;

    // 1 to 20, only while the port is closed.
    [[nodiscard]] bool setCommPort(std::int16_t port);
    std::int16_t CommPort() const { return m_commPort; }

    // "baud,parity,data,stop"; applied to the open port at once.
    [[nodiscard]] bool setSettings(const QString& settings);
    QString Settings() const { return m_settingsText; }

    // Opening fails when the port is already open, does not exist or is held elsewhere.
    // Closing always succeeds. Either ends the watch for a lost device.
    [[nodiscard]] bool setPortOpen(bool open);
    bool PortOpen() const { return deviceIsOpen(); }

    // 0 text, 1 binary. Only binary input yields a byte array.
    [[nodiscard]] bool setInputMode(std::int32_t mode);
    std::int32_t InputMode() const { return m_inputMode; }
    // The most bytes one read of Input returns; 0 means all that are waiting.
    [[nodiscard]] bool setInputLen(std::int16_t length);
    std::int16_t InputLen() const { return m_inputLen; }
    // The receive event is raised when at least this many bytes wait; 0 never raises it.
    [[nodiscard]] bool setRThreshold(std::int16_t threshold);
    std::int16_t RThreshold() const { return m_rThreshold; }

    // Setting 0 discards what waits in the buffer; fails while the port is closed.
    [[nodiscard]] bool setInBufferCount(std::int16_t count);
    std::optional<std::int16_t> InBufferCount() const;
    [[nodiscard]] bool setOutBufferCount(std::int16_t count);
    std::optional<std::int16_t> OutBufferCount() const;

    // Removes and returns up to InputLen waiting bytes in arrival order. Fails (nullopt) while the
    // port is closed, and in text mode, where the result is no byte array.
    std::optional<QByteArray> Input();
    // Queues the bytes for sending; fails while the port is closed.
    [[nodiscard]] bool setOutput(const QByteArray& bytes);

    std::int16_t CommEvent() const { return m_commEvent; }
    // The receive event. It is always delivered from the event loop, never from inside a setter.
    void setOnComm(std::function<void()> handler) { m_onComm = std::move(handler); }
    // For a reader that takes bytes as they arrive rather than an event and then Input(): set,
    // it replaces the receive event, and every byte waiting is handed to it at once, in
    // arrival order, whatever InputLen says (RThreshold still arms it). The window does not use it.
    using BytesHandler = std::function<void(std::span<const std::uint8_t> bytes)>;
    void setOnBytes(BytesHandler handler) { m_onBytes = std::move(handler); }
    // Loss and return of the device, delivered from the event loop like the receive event.
    void setOnLineEvent(std::function<void(LineEvent)> handler) {
        m_onLineEvent = std::move(handler);
    }
    // True from a loss until the device is back or the port is opened or closed on purpose.
    bool watching() const { return m_watching; }

    // The device that port `n` ("ComN") reaches on this host, for showing to the operator; empty
    // when nothing is known.
    virtual QString deviceName(int port) const = 0;
    // The devices of Com1 to Com20, in one look at the host.
    virtual QStringList deviceNames() const = 0;
    // The line settings the open device really has; a host may accept a setting it cannot keep
    // (pseudo-terminals drop parity). By default what was set.
    virtual std::optional<LineSettings> deviceLineSettings() const {
        return deviceIsOpen() ? std::optional<LineSettings>(m_line) : std::nullopt;
    }
    // Why the last opening failed, for a person to read; empty when nothing is known.
    virtual QString openFailure() const { return {}; }

protected:
    // The device side.
    virtual bool openDevice(int port, const LineSettings& settings) = 0;
    virtual void closeDevice() = 0;
    virtual bool deviceIsOpen() const = 0;
    virtual bool applyLineSettings(const LineSettings& settings) = 0;
    virtual qint64 bytesWaiting() const = 0;
    virtual qint64 bytesToSend() const = 0;
    virtual QByteArray readBytes(qint64 maxLength) = 0;
    virtual bool writeBytes(const QByteArray& bytes) = 0;
    virtual void discardInput() = 0;
    virtual void discardOutput() = 0;
    // Runs `action` later from the event loop.
    virtual void post(std::function<void()> action) = 0;
    // Whether the device that `port` reaches is there now. Asked a few times a second while a
    // lost device is watched, so it must be cheap.
    virtual bool devicePresent(int port) const = 0;
    // Calls checkForReturn() every few hundred milliseconds until stopWatch().
    virtual void startWatch() = 0;
    virtual void stopWatch() = 0;

    // For the subclass: bytes have arrived (or the threshold changed). Posts at most one receive
    // event at a time.
    void bytesArrived();
    // For the subclass, from the event loop: raises OnComm if the reason still holds.
    void deliverEvent();
    // For the subclass: the device is really gone. Closes the port and watches for its return.
    void deviceLost();
    // For the subclass, while watching: reopens the port once its device is back.
    void checkForReturn();

    const LineSettings& lineSettings() const { return m_line; }

private:
    void endWatch();
    void postLineEvent(LineEvent event);

    std::int16_t m_commPort = 1;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_line;
    std::int32_t m_inputMode = 0;
    std::int16_t m_inputLen = 0;
    std::int16_t m_rThreshold = 0;
    std::int16_t m_commEvent = 0;
    bool m_eventPosted = false;
    bool m_watching = false;
    std::function<void()> m_onComm;
    BytesHandler m_onBytes;
    std::function<void(LineEvent)> m_onLineEvent;
};

}  // namespace scale
