#pragma once

#include <QObject>
#include <QSerialPort>

#include "app/serialcontrol.h"

namespace scale {

// The serial control over a real port (or a pseudo-terminal) through QSerialPort.
class QtSerialControl : public QObject, public SerialControl {
    Q_OBJECT
public:
    // `portsFolder` holds the operator's ComN links (the "ports" folder beside the program).
    explicit QtSerialControl(QString portsFolder, QObject* parent = nullptr);

    QString deviceName(int port) const override;
    QStringList deviceNames() const override;

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
    void postEvent() override;

private:
    void handleError(QSerialPort::SerialPortError error);

    QString m_portsFolder;
    QSerialPort m_port;
};

}  // namespace scale
