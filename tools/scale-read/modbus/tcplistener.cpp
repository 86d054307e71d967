#include "tools/scale-read/modbus/tcplistener.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QTcpSocket>
#include <algorithm>
#include <utility>

#include "tools/scale-read/modbus/registeranswerer.h"
#include "tools/scale-read/modbus/tcpframing.h"

namespace scaleread {
namespace {

// Answers a client leaves unread beyond this close its connection.
constexpr qint64 kMostUnread = 64 * 1024;

// A PLC that restarts without closing its connection must not hold a place for ever: the
// connection is probed after a minute's silence and dropped when three probes go unanswered.
void holdOnlyWhileAlive(QTcpSocket& socket) {
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const auto fd = static_cast<int>(socket.socketDescriptor());
    for (const auto& [option, value] : {std::pair{TCP_KEEPIDLE, 60}, std::pair{TCP_KEEPINTVL, 10},
                                        std::pair{TCP_KEEPCNT, 3}}) {
        (void)setsockopt(fd, IPPROTO_TCP, option, &value, sizeof value);
    }
}

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
        holdOnlyWhileAlive(*socket);
        auto& connection =
            *m_connections.emplace_back(std::make_unique<Connection>(Connection{socket, {}}));
        QObject::connect(socket, &QTcpSocket::readyRead, [this, &connection] { readFrom(connection); });
        QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] { drop(socket); });
    }
}

void TcpListener::readFrom(Connection& connection) {
    QTcpSocket* socket = connection.socket;
    connection.pending.append(socket->readAll());
    TcpRequest request;
    for (;;) {
        switch (cutTcpRequest(connection.pending, request)) {
        case TcpCut::Partial:
            return;
        case TcpCut::NotModbus:
            drop(socket);
            return;
        case TcpCut::Request:
            break;
        }
        socket->write(tcpAnswer(request, m_answerer.answer(request.unit, request.request)));
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
