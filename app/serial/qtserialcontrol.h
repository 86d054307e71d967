#pragma once

#include <QObject>
#include <QTimer>

#include "app/serial/serialcontrol.h"
#include "app/serial/unixserialdevice.h"

namespace scale {

// The host's serial devices in "ComN" order, as Qt lists them.
QStringList hostSerialPorts();

// The serial control over a real port (or a pseudo-terminal), held exclusively while open and
// released by the kernel however the program ends.
class QtSerialControl : public QObject, public SerialControl {
    Q_OBJECT
public:
    using HostPorts = std::function<QStringList()>;

    // `portsFolder` holds the operator's ComN links (the "ports" folder beside the program).
    // `hostPorts` lists the host's serial devices in "ComN" order; by default Qt is asked.
    explicit QtSerialControl(QString portsFolder, HostPorts hostPorts = {},
                             QObject* parent = nullptr);

    // Every port number reaches `device` from now on, for a program given a device path. The
    // device counts as back after a loss as soon as its node exists again; a network line
    // ("tcp://HOST:PORT", "rfc2217://HOST:PORT") as soon as a connection is made.
    void setFixedDevice(QString device) { m_fixedDevice = std::move(device); }

    QString deviceName(int port) const override;
    QStringList deviceNames() const override;
    std::optional<LineSettings> deviceLineSettings() const override;
    QString openFailure() const override {
        return m_deviceRefused ? m_port.failure() : m_openFailure;
    }

protected:
    bool openDevice(int port, const LineSettings& settings) override;
    void closeDevice() override;
    bool deviceIsOpen() const override;
    bool applyLineSettings(const LineSettings& settings) override;
    qint64 bytesWaiting() const override;
    qint64 bytesToSend() const override;
    QByteArray readBytes(qint64 maxLength) override;
    bool writeBytes(const QByteArray& bytes) override;
    void discardInput() override;
    void discardOutput() override;
    void post(std::function<void()> action) override;
    bool devicePresent(int port) const override;
    void startWatch() override;
    void stopWatch() override;

private:
    void handleFailure();
    // A hang-up, a failing descriptor or a vanished device node: the device will not come back
    // on this descriptor.
    bool deviceGone() const;

    QString m_portsFolder;
    HostPorts m_hostPorts;
    mutable UnixSerialDevice m_port;  // devicePresent moves a network line's connection on
    QString m_fixedDevice;
    QString m_openFailure;
    bool m_deviceRefused = false;  // the device's own account tells why
    QString m_device;              // what the open port was resolved to
    bool m_viaLink = false;        // through a ports/ComN link rather than the host's port list
    QTimer m_watch;
    // The host's ports, looked up again only when /dev changes while a lost device is watched.
    mutable QStringList m_watchedHostPorts;
    mutable qint64 m_watchedDevStamp = -1;
};

}  // namespace scale
