#include "app/serial/unixserialdevice.h"

#include <unistd.h>
#include <QFile>

#include <algorithm>
#include <cerrno>

#include "app/serial/deviceholder.h"
#include "device/systemreason.h"
#include "device/terminal/terminalline.h"

namespace scale {
namespace {

// Bytes kept for a reader that does not keep up (a handler held up by a message box); beyond
// this the oldest go, as a real line's receiver would overrun.
constexpr qint64 kInputLimit = 64 * 1024;
// How long an open waits for a network line's connection.
constexpr int kConnectMillis = 3000;

QString inUseText(const QString& path) {
    const std::optional<DeviceHolder> holder = deviceHolder(path);
    if (!holder) {
        return QStringLiteral("the device is in use by another program");
    }
    return QStringLiteral("the device is in use by %1 (pid %2)")
        .arg(holder->program.isEmpty() ? QStringLiteral("another program") : holder->program)
        .arg(holder->pid);
}

QString refusalText(OpenRefusal refusal, int error, const QString& path) {
    switch (refusal) {
        case OpenRefusal::NoSuchDevice:
            return QStringLiteral("no such device");
        case OpenRefusal::PermissionDenied:
            return QStringLiteral("permission denied");
        case OpenRefusal::InUse:
            return inUseText(path);
        case OpenRefusal::NotSerial:
            return QStringLiteral("not a serial device");
        case OpenRefusal::Other:
        case OpenRefusal::None:
            break;
    }
    return QString::fromLocal8Bit(systemReasonText(error)).toLower();
}

}  // namespace

UnixSerialDevice::UnixSerialDevice() {
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    QObject::connect(&m_readNotifier, &QSocketNotifier::activated, [this] { readWaiting(); });
    QObject::connect(&m_writeNotifier, &QSocketNotifier::activated, [this] { writePending(true); });
}

UnixSerialDevice::~UnixSerialDevice() {
    close();
}

bool UnixSerialDevice::open(const QString& path, const LineSettings& settings) {
    close();
    if (scale::isNetworkLine(QFile::encodeName(path).toStdString())) {
        return openNetworkLine(path, settings);
    }
    m_networkFailure.clear();
    const ExclusiveOpen opened = openExclusive(QFile::encodeName(path).toStdString());
    m_failedPath = path;
    m_refusal = opened.refusal;
    m_error = opened.error;
    m_settingsRefused = false;
    if (opened.fd < 0) {
        return false;
    }
    m_fd = opened.fd;
    if (setTerminalLine(m_fd, settings) != LineSetup::Done) {
        m_settingsRefused = true;
        close();
        return false;
    }
    m_readNotifier.setSocket(m_fd);
    m_writeNotifier.setSocket(m_fd);
    m_readNotifier.setEnabled(true);
    return true;
}

bool UnixSerialDevice::openNetworkLine(const QString& path, const LineSettings& settings) {
    m_refusal = OpenRefusal::None;
    m_settingsRefused = false;
    std::string problem;
    const auto address = parseNetworkLine(path.toStdString(), &problem);
    if (!address) {
        m_networkFailure = QString::fromStdString(problem);
        return false;
    }
    // A connection the watch has made already; the first open waits for one, later ones (a
    // station tried again every few seconds) only move it on, so that a device server that does
    // not answer never holds up the other stations on this thread.
    int fd = m_connect.take();
    if (fd < 0 && !m_triedNetwork) {
        m_triedNetwork = true;
        fd = connectNetworkLine(*address, kConnectMillis, m_connect);
    } else if (fd < 0 && networkLineReady(path)) {
        fd = m_connect.take();
    }
    if (fd < 0) {
        if (m_connect.state() == NetworkConnect::State::Pending) {
            m_networkFailure = QStringLiteral("no answer yet");
        } else {
            m_networkFailure = QString::fromStdString(networkFailureText(m_connect));
            m_connect.cancel();
        }
        return false;
    }
    m_networkFailure.clear();
    m_fd = fd;
    m_network = address;
    if (address->kind == NetworkKind::Rfc2217) {
        m_session = std::make_unique<ComPortSession>();
        m_session->setLine(settings);
    }
    m_readNotifier.setSocket(m_fd);
    m_writeNotifier.setSocket(m_fd);
    m_readNotifier.setEnabled(true);
    takeSessionOutput();
    return true;
}

bool UnixSerialDevice::networkLineReady(const QString& path) {
    if (m_connect.state() == NetworkConnect::State::Idle ||
        m_connect.state() == NetworkConnect::State::Failed) {
        const auto address = parseNetworkLine(path.toStdString());
        if (!address) {
            return false;
        }
        m_connect.start(*address);
    }
    return m_connect.advance(0, kConnectMillis) == NetworkConnect::State::Connected;
}

void UnixSerialDevice::takeSessionOutput() {
    if (m_session && !m_session->outgoing().empty()) {
        m_output.append(m_session->outgoing().data(),
                        static_cast<qsizetype>(m_session->outgoing().size()));
        m_session->outgoing().clear();
        writePending(false);
    }
}

void UnixSerialDevice::close() {
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    m_input.clear();
    m_output.clear();
    if (m_fd >= 0 && m_network) {
        ::close(m_fd);
    } else if (m_fd >= 0) {
        closeExclusive(m_fd);
    }
    m_fd = -1;
    m_network.reset();
    m_session.reset();
}

QString UnixSerialDevice::failure() const {
    if (!m_networkFailure.isEmpty()) {
        return m_networkFailure;
    }
    if (m_settingsRefused) {
        return QStringLiteral("the device refuses these line settings");
    }
    return m_refusal == OpenRefusal::None ? QString()
                                          : refusalText(m_refusal, m_error, m_failedPath);
}

bool UnixSerialDevice::setLineSettings(const LineSettings& settings) {
    if (isOpen() && m_network) {
        // Raw TCP carries bytes at whatever the device server is set to.
        if (m_session) {
            m_session->setLine(settings);
            takeSessionOutput();
        }
        return true;
    }
    return isOpen() && setTerminalLine(m_fd, settings) == LineSetup::Done;
}

std::optional<LineSettings> UnixSerialDevice::lineSettings(const LineSettings& asSet) const {
    if (!isOpen()) {
        return std::nullopt;
    }
    if (m_network) {
        return m_session ? m_session->reported() : asSet;
    }
    return terminalLine(m_fd, asSet);
}

QByteArray UnixSerialDevice::read(qint64 maxLength) {
    const qint64 length = std::min(maxLength, m_input.size());
    QByteArray bytes = m_input.left(length);
    m_input.remove(0, length);
    return bytes;
}

bool UnixSerialDevice::write(const QByteArray& bytes) {
    if (!isOpen()) {
        return false;
    }
    if (m_session) {
        m_session->send(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        m_output.append(m_session->outgoing().data(),
                        static_cast<qsizetype>(m_session->outgoing().size()));
        m_session->outgoing().clear();
    } else {
        m_output.append(bytes);
    }
    return writePending(false);
}

void UnixSerialDevice::clearInput() {
    if (isOpen() && !m_network) {
        discardQueued(m_fd, TerminalQueue::Received);
    }
    m_input.clear();
    if (m_session) {
        m_session->purge(ComPortSession::Purge::Received);
        takeSessionOutput();
    }
}

void UnixSerialDevice::clearOutput() {
    if (m_session) {
        // What waits for the socket may hold the session's own messages: it goes out whole, and
        // the server drops what its port has yet to send.
        m_session->purge(ComPortSession::Purge::Unsent);
        takeSessionOutput();
        return;
    }
    if (isOpen() && !m_network) {
        discardQueued(m_fd, TerminalQueue::Unsent);
    }
    m_output.clear();
    m_writeNotifier.setEnabled(false);
}

void UnixSerialDevice::readWaiting() {
    bool ended = false;
    qint64 arrived = 0;
    char chunk[4096];
    while (m_fd >= 0) {
        const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
        if (count > 0 && m_session) {
            std::string data;
            if (!m_session->received(chunk, static_cast<std::size_t>(count), data)) {
                ended = true;  // the server broke the protocol: nothing it sends can be trusted
                break;
            }
            m_input.append(data.data(), static_cast<qsizetype>(data.size()));
            arrived += static_cast<qsizetype>(data.size());
            takeSessionOutput();
            if (static_cast<std::size_t>(count) < sizeof chunk) {
                break;
            }
        } else if (count > 0) {
            m_input.append(chunk, count);
            arrived += count;
            if (static_cast<std::size_t>(count) < sizeof chunk) {
                break;  // drained: spares the read that would only say so
            }
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // Nothing (a pseudo-terminal may say so without any fault), a hang-up or an error:
            // the owner looks at whether the device is still there.
            ended = !(count < 0 && errno == EAGAIN);
            break;
        }
    }
    if (m_input.size() > kInputLimit) {
        m_input.remove(0, m_input.size() - kInputLimit);
    }
    if (arrived > 0 && m_onReadyRead) {
        m_onReadyRead();
    }
    if (ended && isOpen() && m_onFailure) {
        m_onFailure();
    }
}

bool UnixSerialDevice::writePending(bool fromEventLoop) {
    while (m_fd >= 0 && !m_output.isEmpty()) {
        const ssize_t written =
            ::write(m_fd, m_output.constData(), static_cast<std::size_t>(m_output.size()));
        if (written > 0) {
            m_output.remove(0, written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN) {
            break;
        } else {
            // A hang-up reaches the owner through the read side as well; a caller that is
            // writing is told by the result, never by a callback from inside its own call.
            m_output.clear();
            m_writeNotifier.setEnabled(false);
            if (fromEventLoop && m_onFailure) {
                m_onFailure();
            }
            return false;
        }
    }
    m_writeNotifier.setEnabled(m_fd >= 0 && !m_output.isEmpty());
    return true;
}

}  // namespace scale
