#include "tools/scale-read/modbus/tcpframing.h"

#include <QDataStream>

namespace scaleread {
namespace {

constexpr qsizetype kHeaderBytes = 7;
constexpr quint16 kMostFollowing = 254;  // unit id and the longest request

}  // namespace

TcpCut cutTcpRequest(QByteArray& pending, TcpRequest& request) {
    if (pending.size() < kHeaderBytes) {
        return TcpCut::Partial;
    }
    QDataStream header(pending);
    quint16 protocol = 0;
    quint16 following = 0;  // unit id and request
    header >> request.transaction >> protocol >> following >> request.unit;
    if (protocol != 0 || following < 2 || following > kMostFollowing) {
        return TcpCut::NotModbus;
    }
    const qsizetype whole = kHeaderBytes - 1 + following;
    if (pending.size() < whole) {
        return TcpCut::Partial;
    }
    request.request = QModbusRequest(
        static_cast<QModbusPdu::FunctionCode>(static_cast<quint8>(pending[kHeaderBytes])),
        pending.mid(kHeaderBytes + 1, following - 2));
    pending.remove(0, whole);
    return TcpCut::Request;
}

QByteArray tcpAnswer(const TcpRequest& request, const QModbusResponse& response) {
    QByteArray answer;
    QDataStream out(&answer, QIODevice::WriteOnly);
    out << request.transaction << quint16{0} << static_cast<quint16>(response.size() + 1)
        << request.unit << response;
    return answer;
}

}  // namespace scaleread
