#include "tools/scale-read/modbus/rtuslave.h"

#include "tools/scale-read/modbus/registeranswerer.h"

namespace scaleread {

RtuSlave::RtuSlave(RegisterAnswerer& answerer) : m_answerer(answerer) {
    setServerAddress(kAddress);
}

QModbusResponse RtuSlave::processRequest(const QModbusPdu& request) {
    return m_answerer.answer(RegisterAnswerer::kAllStationsUnit, QModbusRequest(request));
}

}  // namespace scaleread
