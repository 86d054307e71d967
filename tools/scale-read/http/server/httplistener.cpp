#include "tools/scale-read/http/server/httplistener.h"

#include <QDateTime>
#include <QTcpSocket>

namespace scaleread {
namespace {

constexpr int kPauseMillis = 1000;
// At most one note a minute about clients turned away at the cap.
constexpr qint64 kRefusalNoteMillis = 60'000;

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

void HttpListener::acceptFailed() {
    if (!m_failing) {
        m_note(QStringLiteral("http: cannot accept connections (%1; %2 open); pausing new ones")
                   .arg(errorString())
                   .arg(m_open));
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
    int& fromPeer = m_perPeer[peer];
    if (m_open >= m_limit || fromPeer >= m_peerLimit) {
        noteRefused(peer, m_open >= m_limit
                              ? QStringLiteral("already %1 connections").arg(m_limit)
                              : QStringLiteral("already %1 connections from there").arg(m_peerLimit));
        if (fromPeer == 0) {
            m_perPeer.remove(peer);
        }
        socket->abort();
        delete socket;
        return;
    }
    ++m_open;
    ++fromPeer;
    // Counted until the socket goes, whoever owns it by then (a WebSocket client's, say).
    connect(socket, &QObject::destroyed, this, [this, peer] {
        --m_open;
        if (auto it = m_perPeer.find(peer); it != m_perPeer.end() && --it.value() <= 0) {
            m_perPeer.erase(it);
        }
    });
    m_onConnection(socket);
}

}  // namespace scaleread
