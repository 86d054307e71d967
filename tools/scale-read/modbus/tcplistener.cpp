#include "tools/scale-read/modbus/tcplistener.h"

#include <QDataStream>
#include <QTcpSocket>
#include <algorithm>

#include "tools/scale-read/modbus/registeranswerer.h"

namespace scaleread {
namespace {

// The header before each request: transaction, protocol (0), the length of what follows it
// (unit id and request, at most 254), unit id.
constexpr qsizetype kHeaderBytes = 7;
constexpr quint16 kMostFollowing = 254;
// Answers a client leaves unread beyond this close its connection.
constexpr qint64 kMostUnread = 64 * 1024;

}  // namespace

TcpListener::TcpListener(RegisterAnswerer& answerer, QList<Subnet> allowed,
                         std::function<void(const QString&)> note)
    : m_answerer(answerer), m_allowed(std::move(allowed)), m_note(std::move(note)) {
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
}

TcpListener::~TcpListener() {
    for (const auto& connection : m_connections) {
        QObject::disconnect(connection->socket, nullptr, nullptr, nullptr);
        delete connection->socket;
    }
}

bool TcpListener::listen(const QHostAddress& address, quint16 port, QString& error) {
    if (!m_server.listen(address, port)) {
        error = m_server.errorString();
        return false;
    }
    return true;
}

void TcpListener::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const QHostAddress peer = socket->peerAddress();
        const bool allowed =
            m_allowed.isEmpty() || std::any_of(m_allowed.begin(), m_allowed.end(),
                                               [&](const Subnet& s) { return peer.isInSubnet(s); });
        if (!allowed || m_connections.size() >= kMostClients) {
            if (!std::exchange(m_refusalTold, true)) {
                m_note(allowed ? QStringLiteral("Modbus: a client from %1 refused: %2 are "
                                                "connected already (further refusals are not told)")
                                     .arg(peer.toString())
                                     .arg(kMostClients)
                               : QStringLiteral("Modbus: a client from %1 refused: not in "
                                                "--modbus-allow (further refusals are not told)")
                                     .arg(peer.toString()));
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto& connection = *m_connections.emplace_back(std::make_unique<Connection>(Connection{socket, {}}));
        QObject::connect(socket, &QTcpSocket::readyRead, [this, &connection] { readFrom(connection); });
        QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] { drop(socket); });
    }
}

void TcpListener::readFrom(Connection& connection) {
    QTcpSocket* socket = connection.socket;
    QByteArray& pending = connection.pending;
    pending.append(socket->readAll());
    while (pending.size() >= kHeaderBytes) {
        QDataStream header(pending);
        quint16 transaction = 0;
        quint16 protocol = 0;
        quint16 following = 0;
        quint8 unit = 0;
        header >> transaction >> protocol >> following >> unit;
        // Not Modbus: nothing after it can be found again.
        if (protocol != 0 || following < 2 || following > kMostFollowing) {
            drop(socket);
            return;
        }
        if (pending.size() < kHeaderBytes - 1 + following) {
            return;
        }
        const QModbusRequest request(
            static_cast<QModbusPdu::FunctionCode>(static_cast<quint8>(pending[kHeaderBytes])),
            pending.mid(kHeaderBytes + 1, following - 2));
        pending.remove(0, kHeaderBytes - 1 + following);
        const QModbusResponse response = m_answerer.answer(unit, request);
        QByteArray reply;
        QDataStream out(&reply, QIODevice::WriteOnly);
        out << transaction << protocol << static_cast<quint16>(response.size() + 1) << unit
            << response;
        socket->write(reply);
        if (socket->bytesToWrite() > kMostUnread) {
            drop(socket);
            return;
        }
    }
}

void TcpListener::drop(QTcpSocket* socket) {
    const auto found = std::find_if(m_connections.begin(), m_connections.end(),
                                    [socket](const auto& c) { return c->socket == socket; });
    if (found == m_connections.end()) {
        return;
    }
    m_connections.erase(found);
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    socket->abort();
    socket->deleteLater();
}

}  // namespace scaleread
