#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "device/network/comportsession.h"
#include "device/terminal/exclusiveopen.h"
#include "device/linesettings.h"
#include "device/network/networkline.h"

namespace scale {

// A serial device (or pseudo-terminal) on a descriptor of its own, held exclusively for as long
// as it is open and no longer: see openExclusive. What arrives is read into a buffer as soon as
// the event loop sees it; what is written goes out as fast as the device takes it.
//
// A path "tcp://HOST:PORT" or "rfc2217://HOST:PORT" is a line over the network instead: a socket
// that carries the line's bytes as they are, or through Telnet with the line's settings set
// remotely. It has no lock (the server decides who may connect), and its end is the socket's.
class UnixSerialDevice {
public:
    UnixSerialDevice();
    ~UnixSerialDevice();
    UnixSerialDevice(const UnixSerialDevice&) = delete;
    UnixSerialDevice& operator=(const UnixSerialDevice&) = delete;

    // False when it does not open or refuses the settings; failure() then says why.
    bool open(const QString& path, const LineSettings& settings);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    bool isNetworkLine() const { return m_network.has_value(); }
    // For a network line that is down: moves a connection towards `path` on, without waiting,
    // and is true once one is made, which the next open() then takes.
    bool networkLineReady(const QString& path);
    int handle() const { return m_fd; }
    // Why the last open failed, for a person to read. For a device in use it looks up the holder,
    // which walks /proc: asked only when someone will read it, never while merely retrying.
    QString failure() const;

    bool setLineSettings(const LineSettings& settings);
    // What the device really keeps of `asSet`; nullopt while closed.
    std::optional<LineSettings> lineSettings(const LineSettings& asSet) const;

    qint64 bytesAvailable() const { return m_input.size(); }
    qint64 bytesToWrite() const { return m_output.size(); }
    QByteArray read(qint64 maxLength);
    bool write(const QByteArray& bytes);
    // Drops what the device and the buffer hold.
    void clearInput();
    void clearOutput();

    // Bytes have arrived in the buffer.
    void setOnReadyRead(std::function<void()> handler) { m_onReadyRead = std::move(handler); }
    // A read or write met an end of the line or an error: the device may be gone.
    void setOnFailure(std::function<void()> handler) { m_onFailure = std::move(handler); }

private:
    bool openNetworkLine(const QString& path, const LineSettings& settings);
    // Moves what the Telnet session has to say to the output.
    void takeSessionOutput();
    void readWaiting();
    // False when the device fails the write.
    bool writePending(bool fromEventLoop);

    int m_fd = -1;
    QString m_failedPath;
    OpenRefusal m_refusal = OpenRefusal::None;
    int m_error = 0;
    bool m_settingsRefused = false;
    std::optional<NetworkAddress> m_network;  // while a network line is open
    std::unique_ptr<ComPortSession> m_session;  // an RFC 2217 line's Telnet side
    NetworkConnect m_connect;
    bool m_triedNetwork = false;  // the first open of a network line waits for the connection
    QString m_networkFailure;
    QByteArray m_input;
    QByteArray m_output;
    QSocketNotifier m_readNotifier{QSocketNotifier::Read};
    QSocketNotifier m_writeNotifier{QSocketNotifier::Write};
    std::function<void()> m_onReadyRead;
    std::function<void()> m_onFailure;
};

}  // namespace scale
