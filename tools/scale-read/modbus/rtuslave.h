#pragma once

#include <QModbusRtuSerialServer>
#include <QTimer>
#include <functional>

#include "device/linesettings.h"

namespace scaleread {

class RegisterAnswerer;

// The registers as an RTU slave on a serial line, at address 1. Qt's RTU server answers one
// address, so every station is there at 100(k-1) (station 1 at 0-23, as under its own unit).
// A line that goes (an adapter unplugged) is opened again every 2 s until it is back.
class RtuSlave : public QModbusRtuSerialServer {
public:
    static constexpr int kAddress = 1;
    static constexpr int kReopenMillis = 2000;
    RtuSlave(RegisterAnswerer& answerer, std::function<void(const QString&)> note);
    ~RtuSlave() override;

    // Opens `device` at `settings`; false with the reason in `error`.
    bool openLine(const QString& device, const scale::LineSettings& settings, QString& error);

protected:
    QModbusResponse processRequest(const QModbusPdu& request) override;

private:
    RegisterAnswerer& m_answerer;
    std::function<void(const QString&)> m_note;
    QString m_device;  // set once open: from then on a failing line is opened again
    QTimer m_reopen;
    bool m_lost = false;  // the line failed and is not back
};

}  // namespace scaleread
