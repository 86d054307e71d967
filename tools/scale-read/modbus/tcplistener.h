#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QTcpServer>
#include <functional>
#include <memory>
#include <vector>

class QTcpSocket;

namespace scaleread {

class RegisterAnswerer;

// Modbus TCP clients on one port: each request is cut from its connection's stream by its
// header and handed to the answerer under its unit id. (Qt's own TCP server answers one unit id
// and drops the others unanswered, without telling its request handler which unit was asked, so
// it cannot serve a station per unit id.) A connection that sends what is not a Modbus TCP
// request, or leaves its answers unread, is closed; the others and the reading go on.
class TcpListener {
public:
    using Subnet = QPair<QHostAddress, int>;
    static constexpr int kMostClients = 64;

    // `allowed`: the subnets clients may come from; empty lets everyone connect.
    TcpListener(RegisterAnswerer& answerer, QList<Subnet> allowed,
                std::function<void(const QString&)> note);
    ~TcpListener();

    bool listen(const QHostAddress& address, quint16 port, QString& error);
    quint16 port() const { return m_server.serverPort(); }

private:
    struct Connection {
        QTcpSocket* socket;
        QByteArray pending;  // the start of a request still coming
    };
    void accept();
    void readFrom(Connection& connection);
    void drop(QTcpSocket* socket);

    RegisterAnswerer& m_answerer;
    QList<Subnet> m_allowed;
    std::function<void(const QString&)> m_note;
    QTcpServer m_server;
    std::vector<std::unique_ptr<Connection>> m_connections;
    bool m_refusalTold = false;
};

}  // namespace scaleread
