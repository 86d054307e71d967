#pragma once

#include <QTcpServer>
#include <functional>

class QTcpSocket;

namespace scaleread {

// A listening socket whose connections may send at most `limit` bytes towards one request. The
// HTTP library reads a whole request into memory before it is handed over, so a body of a
// gigabyte would otherwise be taken in full just to be refused; past the limit the connection is
// given to `onOverflow` instead, before the library reads on.
class GuardedTcpServer : public QTcpServer {
public:
    GuardedTcpServer(qint64 limit, std::function<void(QTcpSocket*)> onOverflow,
                     QObject* parent = nullptr);

    // The request on `socket` was handed over: the next one has the whole limit again.
    static void requestTaken(QTcpSocket* socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    qint64 m_limit;
    std::function<void(QTcpSocket*)> m_onOverflow;
};

}  // namespace scaleread
