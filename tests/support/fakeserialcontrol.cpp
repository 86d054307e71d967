#include "support/fakeserialcontrol.h"

namespace scale::test {

void FakeSerialControl::feed(const QByteArray& bytes) {
    if (!m_open) {
        return;
    }
    m_rx += bytes;
    bytesArrived();
}

void FakeSerialControl::unplug() {
    existingPorts.erase(CommPort());
    closeDevice();
}

QString FakeSerialControl::deviceName(int port) const {
    return existingPorts.contains(port) ? QStringLiteral("/dev/fake%1").arg(port) : QString();
}

QStringList FakeSerialControl::deviceNames() const {
    QStringList names;
    for (int port = 1; port <= 20; ++port) {
        names << deviceName(port);
    }
    return names;
}

bool FakeSerialControl::openDevice(int port, const LineSettings& settings) {
    if (!existingPorts.contains(port) || busyPorts.contains(port)) {
        return false;
    }
    m_open = true;
    ++opens;
    openedPorts.push_back(port);
    openedSettings.push_back(settings);
    return true;
}

void FakeSerialControl::closeDevice() {
    if (m_open) {
        ++closes;
    }
    m_open = false;
    m_rx.clear();
}

bool FakeSerialControl::applyLineSettings(const LineSettings&) {
    return true;
}

QByteArray FakeSerialControl::readBytes(qint64 maxLength) {
    const QByteArray chunk = m_rx.left(maxLength);
    m_rx.remove(0, chunk.size());
    return chunk;
}

bool FakeSerialControl::writeBytes(const QByteArray& bytes) {
    if (refuseWrites) {
        return false;
    }
    writes.push_back(bytes);
    if (onWrite) {
        onWrite(bytes);
    }
    return true;
}

void FakeSerialControl::discardInput() {
    m_rx.clear();
    if (onDiscardInput) {
        onDiscardInput();
    }
}

void FakeSerialControl::postEvent() {
    m_clock.post([this] { deliverEvent(); });
}

}  // namespace scale::test
