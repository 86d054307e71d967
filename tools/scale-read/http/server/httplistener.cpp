#include "tools/scale-read/http/server/httplistener.h"

#include <QDateTime>
#include <QTcpSocket>

namespace scaleread {
namespace {

constexpr int kPauseMillis = 1000;
// At most one note a minute about clients turned away at the cap.
constexpr qint64 kRefusalNoteMillis = 60'000;

// A child of each socket let in: it gives the connection back when the socket goes, whoever owns
// it by then. (Not the socket's `destroyed` signal: Qt WebSockets cuts every connection of a socket
// it is done with.)
class Admission : public QObject {
public:
    Admission(QTcpSocket* socket, std::function<void()> release)
        : QObject(socket), m_release(std::move(release)) {}
    ~Admission() override { m_release(); }

private:
    std::function<void()> m_release;
};

}  // namespace

HttpListener::HttpListener(int limit, int peerLimit, std::function<void(QTcpSocket*)> onConnection,
                           Note note, QObject* parent)
    : QTcpServer(parent),
      m_limit(limit),
      m_peerLimit(peerLimit),
      m_onConnection(std::move(onConnection)),
      m_note(std::move(note)) {
    m_resume.setSingleShot(true);
    m_resume.setInterval(kPauseMillis);
    connect(&m_resume, &QTimer::timeout, this, [this] { resumeAccepting(); });
    // Qt stops accepting for good after such an error; it is taken up again after the pause.
    connect(this, &QTcpServer::acceptError, this, [this] { acceptFailed(); });
}

int HttpListener::openConnections() const {
    const std::lock_guard lock(m_open->mutex);
    return m_open->total;
}

void HttpListener::acceptFailed() {
    if (!m_failing) {
        m_note(QStringLiteral("http: cannot accept connections (%1; %2 open); pausing new ones")
                   .arg(errorString())
                   .arg(openConnections()));
    }
    m_failing = true;
    pauseAccepting();
    m_resume.start();
}

void HttpListener::noteRefused(const QString& peer, const QString& why) {
    ++m_refused;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_lastRefusalNote != 0 && now - m_lastRefusalNote < kRefusalNoteMillis) {
        return;
    }
    m_note(QStringLiteral("http: connection from %1 closed: %2 (%3 turned away since the last "
                          "note)")
               .arg(peer, why)
               .arg(m_refused));
    m_lastRefusalNote = now;
    m_refused = 0;
}

void HttpListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    m_failing = false;
    const QString peer = socket->peerAddress().toString();
    {
        const std::lock_guard lock(m_open->mutex);
        int& fromPeer = m_open->perPeer[peer];
        const bool full = m_open->total >= m_limit;
        if (full || fromPeer >= m_peerLimit) {
            if (fromPeer == 0) {
                m_open->perPeer.remove(peer);
            }
            noteRefused(peer, full ? QStringLiteral("already %1 connections").arg(m_limit)
                                   : QStringLiteral("already %1 connections from there")
                                         .arg(m_peerLimit));
            socket->abort();
            delete socket;
            return;
        }
        ++m_open->total;
        ++fromPeer;
    }
    new Admission(socket, [open = m_open, peer] {
        const std::lock_guard lock(open->mutex);
        --open->total;
        if (auto it = open->perPeer.find(peer); it != open->perPeer.end() && --it.value() <= 0) {
            open->perPeer.erase(it);
        }
    });
    m_onConnection(socket);
}

}  // namespace scaleread
