#include "ptyline.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QFile>

#include <cerrno>

namespace scale::test {

PtyLine::PtyLine(const QString& linkPath) {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    QFile::remove(linkPath);
    QFile::link(QString::fromLocal8Bit(name), linkPath);
}

PtyLine::~PtyLine() {
    hangUp();
}

void PtyLine::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        }
        done += n > 0 ? n : 0;
    }
}

QByteArray PtyLine::readAvailable() {
    QByteArray bytes;
    char buffer[256];
    for (;;) {
        const ssize_t n = m_master >= 0 ? ::read(m_master, buffer, sizeof buffer) : -1;
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, n);
    }
}

void PtyLine::hangUp() {
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

}  // namespace scale::test
