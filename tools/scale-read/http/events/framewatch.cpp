#include "tools/scale-read/http/events/framewatch.h"

#include <QTcpSocket>
#include <algorithm>
#include <cstdint>
#include <span>

namespace scaleread {

FrameWatch::FrameWatch(QTcpSocket* socket) : QObject(socket), m_socket(socket) {
    connect(socket, &QTcpSocket::readyRead, this, [this] { check(); });
}

void FrameWatch::start(std::function<void()> unmasked) {
    m_unmasked = std::move(unmasked);
    m_started = true;
    check();
    connect(m_socket, &QTcpSocket::readyRead, this,
            [this] { m_unread = m_socket->bytesAvailable(); });
}

void FrameWatch::check() {
    const qint64 available = m_socket->bytesAvailable();
    if (!m_started || m_failed || available <= m_unread) {
        m_unread = std::min(m_unread, available);
        return;
    }
    const QByteArray bytes = m_socket->peek(available);
    const auto fresh = std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()))
                           .subspan(static_cast<std::size_t>(m_unread));
    m_unread = available;
    if (!m_check.feed(fresh)) {
        m_failed = true;
        m_unmasked();
    }
}

}  // namespace scaleread
