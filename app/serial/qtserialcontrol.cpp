#include "app/serial/qtserialcontrol.h"

#include <poll.h>
#include <sys/stat.h>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>

#include "app/serial/portnames.h"
#include "device/network/networkline.h"
#include "device/terminal/terminalline.h"

namespace scale {

QStringList hostSerialPorts() {
    QStringList locations;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        locations << info.systemLocation();
    }
    return orderHostPorts(locations);
}

namespace {

// Changes whenever a device node is added to or removed from /dev.
qint64 devStamp() {
    struct stat info {};
    if (::stat("/dev", &info) != 0) {
        return -1;
    }
    return static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

// The descriptor's other end hung up: a pulled adapter, or a pseudo-terminal whose master closed.
bool hungUp(int fd) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & (POLLHUP | POLLNVAL)) != 0;
}

}  // namespace

QtSerialControl::QtSerialControl(QString portsFolder, HostPorts hostPorts, QObject* parent)
    : QObject(parent),
      m_portsFolder(std::move(portsFolder)),
      m_hostPorts(hostPorts ? std::move(hostPorts) : HostPorts(&hostSerialPorts)) {
    // Handled at once rather than posted: the handler then empties the buffer in the same pass
    // of the event loop that saw the bytes, so no stale read notification is left behind.
    m_port.setOnReadyRead([this] { deliverEvent(); });
    m_port.setOnFailure([this] { handleFailure(); });
    m_watch.setInterval(200);
    connect(&m_watch, &QTimer::timeout, this, [this] { checkForReturn(); });
}

QString QtSerialControl::deviceName(int port) const {
    if (!m_fixedDevice.isEmpty()) {
        return m_fixedDevice;
    }
    // Walking the host's ports opens thousands of files: only for a port with no link.
    if (const auto linked = linkedPortDevice(port, m_portsFolder)) {
        return *linked;
    }
    return resolvePortDevice(port, m_portsFolder, m_hostPorts());
}

QStringList QtSerialControl::deviceNames() const {
    const QStringList host = m_hostPorts();
    QStringList names;
    for (int port = 1; port <= 20; ++port) {
        names << resolvePortDevice(port, m_portsFolder, host);
    }
    return names;
}

bool QtSerialControl::openDevice(int port, const LineSettings& settings) {
    // Resolved at every open, so an adapter plugged in after start-up is found by the next apply.
    const QString device = deviceName(port);
    m_deviceRefused = false;
    if (device.isEmpty()) {
        m_openFailure = QStringLiteral("no such port");
        return false;
    }
    if (!m_port.open(device, settings)) {
        m_deviceRefused = true;
        return false;
    }
    m_device = device;
    m_viaLink = !m_fixedDevice.isEmpty() || linkedPortDevice(port, m_portsFolder).has_value();
    if (m_port.isNetworkLine()) {
        m_openFailure.clear();
        return true;
    }
    // A line whose other end is gone opens, but nothing will ever come through it.
    if (hungUp(m_port.handle())) {
        m_openFailure = QStringLiteral("the line has hung up");
        m_port.close();
        return false;
    }
    m_openFailure.clear();
    return true;
}

void QtSerialControl::closeDevice() {
    m_port.close();
}

bool QtSerialControl::deviceIsOpen() const {
    return m_port.isOpen();
}

bool QtSerialControl::applyLineSettings(const LineSettings& settings) {
    return m_port.setLineSettings(settings);
}

qint64 QtSerialControl::bytesWaiting() const {
    return m_port.bytesAvailable();
}

qint64 QtSerialControl::bytesToSend() const {
    return m_port.bytesToWrite();
}

QByteArray QtSerialControl::readBytes(qint64 maxLength) {
    return m_port.read(maxLength);
}

bool QtSerialControl::writeBytes(const QByteArray& bytes) {
    return m_port.write(bytes);
}

void QtSerialControl::discardInput() {
    m_port.clearInput();
}

void QtSerialControl::discardOutput() {
    m_port.clearOutput();
}

void QtSerialControl::post(std::function<void()> action) {
    QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
}

bool QtSerialControl::devicePresent(int port) const {
    // The same device, not whatever the port number reaches meanwhile: with an adapter gone,
    // "Com1" may name the host's built-in port, which would then be held open in its place.
    if (isNetworkLine(m_fixedDevice.toStdString())) {
        // The link is back once a connection is made; trying costs nothing while it is down.
        return m_port.networkLineReady(m_fixedDevice);
    }
    if (!m_fixedDevice.isEmpty()) {
        return QFileInfo::exists(m_fixedDevice);
    }
    if (m_viaLink) {
        // A pin with a device behind it, maybe a new one.
        const auto linked = linkedPortDevice(port, m_portsFolder);
        return linked && QFileInfo::exists(*linked);
    }
    if (!QFileInfo::exists(m_device)) {
        return false;
    }
    // Walking the host's ports opens thousands of files; do it only after /dev has changed.
    const qint64 stamp = devStamp();
    if (stamp != m_watchedDevStamp || stamp < 0) {
        m_watchedDevStamp = stamp;
        m_watchedHostPorts = m_hostPorts();
    }
    return resolvePortDevice(port, m_portsFolder, m_watchedHostPorts) == m_device;
}

std::optional<LineSettings> QtSerialControl::deviceLineSettings() const {
    return m_port.lineSettings(lineSettings());
}

void QtSerialControl::startWatch() {
    m_watchedDevStamp = -1;
    m_watch.start();
}

void QtSerialControl::stopWatch() {
    m_watch.stop();
}

bool QtSerialControl::deviceGone() const {
    const int fd = m_port.handle();
    // A socket reports trouble only when its connection has ended or failed.
    if (fd < 0 || m_port.isNetworkLine() || hungUp(fd)) {
        return true;
    }
    if (terminalGone(fd)) {
        return true;
    }
    return !QFileInfo::exists(m_device);
}

void QtSerialControl::handleFailure() {
    if (!m_port.isOpen() || !deviceGone()) {
        // A read that found nothing: pseudo-terminals say so without any fault.
        return;
    }
    // What came before the hang-up is read first: closing would throw it away.
    if (m_port.bytesAvailable() > 0) {
        deliverEvent();
    }
    // Closing at once also keeps a hung-up descriptor from waking the event loop for ever.
    deviceLost();
}

}  // namespace scale
