#pragma once

#include <QHash>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>

class QTcpSocket;

namespace scaleread {

// The service's listening socket. It holds the number of connections under a cap, in total and
// per client address, so that the file descriptors the stations' ports and the broker need are
// never taken by clients; one past the cap is closed as soon as it is accepted. When accepting
// fails all the same (no descriptor left), it pauses for a moment and says so once, instead of
// trying again at once in a loop.
class HttpListener : public QTcpServer {
public:
    using Note = std::function<void(const QString&)>;

    HttpListener(int limit, int peerLimit, std::function<void(QTcpSocket*)> onConnection, Note note,
                 QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    int openConnections() const;
    void acceptFailed();
    void noteRefused(const QString& peer, const QString& why);

    int m_limit;
    int m_peerLimit;
    std::function<void(QTcpSocket*)> m_onConnection;
    Note m_note;
    // What is open, in total and by client address. A connection is given back when its socket
    // goes, in whichever thread that is (a WebSocket client's is served in a thread of its own).
    struct Open {
        std::mutex mutex;
        int total = 0;
        QHash<QString, int> perPeer;
    };
    std::shared_ptr<Open> m_open = std::make_shared<Open>();
    QTimer m_resume;
    bool m_failing = false;
    qint64 m_refused = 0;          // connections closed at the cap since the last note
    qint64 m_lastRefusalNote = 0;  // msecs since epoch
};

}  // namespace scaleread
