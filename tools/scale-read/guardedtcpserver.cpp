#include "tools/scale-read/guardedtcpserver.h"

#include <QTcpSocket>

namespace scaleread {
namespace {

constexpr char kReceived[] = "scaleReadReceived";

}  // namespace

GuardedTcpServer::GuardedTcpServer(qint64 limit, std::function<void(QTcpSocket*)> onOverflow,
                                   QObject* parent)
    : QTcpServer(parent), m_limit(limit), m_onOverflow(std::move(onOverflow)) {}

void GuardedTcpServer::requestTaken(QTcpSocket* socket) {
    socket->setProperty(kReceived, qint64{0});
}

void GuardedTcpServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Connected before the library's own handler, this sees each arrival first, while what
    // arrived is still waiting to be read.
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        const qint64 received = socket->property(kReceived).toLongLong() + socket->bytesAvailable();
        socket->setProperty(kReceived, received);
        if (received > m_limit) {
            QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            m_onOverflow(socket);
        }
    });
    addPendingConnection(socket);
}

}  // namespace scaleread
