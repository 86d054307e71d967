#pragma once

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <optional>

#include "device/exclusiveopen.h"
#include "device/linesettings.h"

namespace scale {

// A serial device (or pseudo-terminal) on a descriptor of its own, held exclusively for as long
// as it is open and no longer: see openExclusive. What arrives is read into a buffer as soon as
// the event loop sees it; what is written goes out as fast as the device takes it.
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
    void readWaiting();
    // False when the device fails the write.
    bool writePending(bool fromEventLoop);

    int m_fd = -1;
    QString m_failedPath;
    OpenRefusal m_refusal = OpenRefusal::None;
    int m_error = 0;
    bool m_settingsRefused = false;
    QByteArray m_input;
    QByteArray m_output;
    QSocketNotifier m_readNotifier{QSocketNotifier::Read};
    QSocketNotifier m_writeNotifier{QSocketNotifier::Write};
    std::function<void()> m_onReadyRead;
    std::function<void()> m_onFailure;
};

}  // namespace scale
