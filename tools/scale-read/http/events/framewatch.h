#pragma once

#include <QObject>
#include <functional>

#include "tools/scale-read/http/server/clientframecheck.h"

class QTcpSocket;

namespace scaleread {

// Watches what a WebSocket client sends for unmasked frames. Its first look at each arrival is
// taken before Qt's (it listens to the socket from before the handover, so its slot runs first);
// a second slot, connected once Qt listens too, notes what Qt left unread, so that only new bytes
// are looked at next time. A child of the socket: it goes wherever the socket goes.
class FrameWatch : public QObject {
public:
    explicit FrameWatch(QTcpSocket* socket);
    // The handshake is read: what follows are frames. `unmasked` is called once for the first
    // unmasked one.
    void start(std::function<void()> unmasked);
    QTcpSocket* socket() const { return m_socket; }

private:
    void check();

    QTcpSocket* m_socket;
    ClientFrameCheck m_check;
    std::function<void()> m_unmasked;
    qint64 m_unread = 0;
    bool m_started = false;
    bool m_failed = false;
};

}  // namespace scaleread
