#include "tools/scale-read/modbus/tcplistener.h"

#include <QTcpSocket>
#include <algorithm>

#include "tools/scale-read/modbus/registeranswerer.h"
#include "tools/scale-read/modbus/tcpframing.h"

namespace scaleread {
namespace {

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
