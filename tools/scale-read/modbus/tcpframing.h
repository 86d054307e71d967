#pragma once

#include <QByteArray>
#include <QModbusRequest>
#include <QModbusResponse>

namespace scaleread {

// A request as Modbus TCP carries it: the header's transaction and unit id, and the request.
struct TcpRequest {
    quint16 transaction = 0;
    quint8 unit = 0;
    QModbusRequest request;
};

enum class TcpCut {
    Request,    // one request cut from the front of the bytes
    Partial,    // the bytes end within a request: wait for more
    NotModbus,  // a header no Modbus TCP client sends (a protocol id other than 0, a length
                // of 0 or over 254): nothing after it can be found again
};

// Cuts the first request of a connection's bytes `pending` into `request`, by the header before
// it (transaction, protocol, length, unit id). Qt's server checks the request itself.
TcpCut cutTcpRequest(QByteArray& pending, TcpRequest& request);

// `response` to `request` with its header, as it goes back on the connection.
QByteArray tcpAnswer(const TcpRequest& request, const QModbusResponse& response);

}  // namespace scaleread
