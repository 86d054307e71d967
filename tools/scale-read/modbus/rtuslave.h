#pragma once

#include <QModbusRtuSerialServer>

namespace scaleread {

class RegisterAnswerer;

// The registers as an RTU slave on a serial line, at address 1. Qt's RTU server answers one
// address, so every station is there at 100(k-1) (station 1 at 0-23, as under its own unit).
class RtuSlave : public QModbusRtuSerialServer {
public:
    static constexpr int kAddress = 1;
    explicit RtuSlave(RegisterAnswerer& answerer);

protected:
    QModbusResponse processRequest(const QModbusPdu& request) override;

private:
    RegisterAnswerer& m_answerer;
};

}  // namespace scaleread
