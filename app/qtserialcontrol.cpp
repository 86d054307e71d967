#include "app/qtserialcontrol.h"

#include <QSerialPortInfo>

#include "app/portnames.h"

namespace scale {
namespace {

QStringList hostPorts() {
    QStringList locations;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        locations << info.systemLocation();
    }
    return orderHostPorts(locations);
}

QSerialPort::Parity toQt(Parity parity) {
    switch (parity) {
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::OneAndHalf:
            return QSerialPort::OneAndHalfStop;
        case StopBits::Two:
            return QSerialPort::TwoStop;
        case StopBits::One:
            break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

QtSerialControl::QtSerialControl(QString portsFolder, QObject* parent)
    : QObject(parent), m_portsFolder(std::move(portsFolder)) {
    connect(&m_port, &QSerialPort::readyRead, this, [this] { bytesArrived(); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::handleError);
}

QString QtSerialControl::deviceName(int port) const {
    return resolvePortDevice(port, m_portsFolder, hostPorts());
}

QStringList QtSerialControl::deviceNames() const {
    const QStringList host = hostPorts();
    QStringList names;
    for (int port = 1; port <= 20; ++port) {
        names << resolvePortDevice(port, m_portsFolder, host);
    }
    return names;
}

bool QtSerialControl::openDevice(int port, const LineSettings& settings) {
    // Resolved at every open, so an adapter plugged in after start-up is found by the next apply.
    const QString device = deviceName(port);
    if (device.isEmpty()) {
        return false;
    }
    m_port.setPortName(device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        return false;
    }
    if (!applyLineSettings(settings)) {
        m_port.close();
        return false;
    }
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

void QtSerialControl::closeDevice() {
    if (m_port.isOpen()) {
        m_port.close();
    }
}

bool QtSerialControl::deviceIsOpen() const {
    return m_port.isOpen();
}

bool QtSerialControl::applyLineSettings(const LineSettings& settings) {
    return m_port.setBaudRate(settings.baud) &&
           m_port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
           m_port.setParity(toQt(settings.parity)) && m_port.setStopBits(toQt(settings.stopBits));
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
    return m_port.write(bytes) == bytes.size();
}

void QtSerialControl::discardInput() {
    m_port.clear(QSerialPort::Input);
    m_port.readAll();  // what Qt had already buffered
}

void QtSerialControl::discardOutput() {
    m_port.clear(QSerialPort::Output);
}

void QtSerialControl::postEvent() {
    QMetaObject::invokeMethod(
        this, [this] { deliverEvent(); }, Qt::QueuedConnection);
}

void QtSerialControl::handleError(QSerialPort::SerialPortError error) {
    // An unplugged adapter (or a pseudo-terminal whose other end went away) keeps the descriptor
    // readable with an error: close at once instead of spinning on it. The next apply reopens.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
        closeDevice();
    }
    if (error != QSerialPort::NoError) {
        m_port.clearError();
    }
}

}  // namespace scale
