#include "tools/scale-read/modbus/rtuslave.h"

#include <QSerialPort>

#include "tools/scale-read/modbus/registeranswerer.h"

namespace scaleread {
namespace {

QSerialPort::Parity parityOf(scale::Parity parity) {
    switch (parity) {
    case scale::Parity::Even:
        return QSerialPort::EvenParity;
    case scale::Parity::Odd:
        return QSerialPort::OddParity;
    case scale::Parity::Mark:
        return QSerialPort::MarkParity;
    case scale::Parity::Space:
        return QSerialPort::SpaceParity;
    case scale::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits stopBitsOf(scale::StopBits stopBits) {
    switch (stopBits) {
    case scale::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case scale::StopBits::Two:
        return QSerialPort::TwoStop;
    case scale::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

RtuSlave::RtuSlave(RegisterAnswerer& answerer, std::function<void(const QString&)> note)
    : m_answerer(answerer), m_note(std::move(note)) {
    setServerAddress(kAddress);
    m_reopen.setInterval(kReopenMillis);
    QObject::connect(&m_reopen, &QTimer::timeout, [this] {
        if (connectDevice()) {
            m_reopen.stop();
            m_lost = false;
            m_note(QStringLiteral("Modbus RTU: %1 is back").arg(m_device));
        }
    });
    // A line that fails once the slave runs (an adapter unplugged, the other end of a
    // pseudo-terminal closed) is closed, not left to fail at every read, and opened again.
    QObject::connect(this, &QModbusDevice::errorOccurred, [this](QModbusDevice::Error error) {
        if (error == QModbusDevice::NoError || m_device.isEmpty() || m_lost) {
            return;
        }
        m_lost = true;
        QString reason = errorString();  // Qt's words end with a full stop
        if (reason.endsWith(QLatin1Char('.'))) {
            reason.chop(1);
        }
        m_note(QStringLiteral("Modbus RTU on %1: %2; opening it again every %3 s")
                   .arg(m_device, reason)
                   .arg(kReopenMillis / 1000));
        // Not within Qt's own handling of the port's failure.
        QTimer::singleShot(0, this, [this] {
            disconnectDevice();
            m_reopen.start();
        });
    });
}

RtuSlave::~RtuSlave() {
    // Qt's server closes the line as it goes, which must not start a reopening.
    QObject::disconnect(this, nullptr, nullptr, nullptr);
}

bool RtuSlave::openLine(const QString& device, const scale::LineSettings& settings,
                        QString& error) {
    setConnectionParameter(SerialPortNameParameter, device);
    setConnectionParameter(SerialBaudRateParameter, settings.baud);
    setConnectionParameter(SerialParityParameter, parityOf(settings.parity));
    setConnectionParameter(SerialDataBitsParameter, settings.dataBits);
    setConnectionParameter(SerialStopBitsParameter, stopBitsOf(settings.stopBits));
    if (!connectDevice()) {
        error = errorString();
        return false;
    }
    m_device = device;  // from now on a line that goes is opened again
    return true;
}

QModbusResponse RtuSlave::processRequest(const QModbusPdu& request) {
    return m_answerer.answer(RegisterAnswerer::kAllStationsUnit, QModbusRequest(request));
}

}  // namespace scaleread
