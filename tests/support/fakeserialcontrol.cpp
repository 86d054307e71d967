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
    deviceLost();
}

// Like the real control: a look every 200 ms while watching.
void FakeSerialControl::startWatch() {
    lookAgain(++m_watchGeneration);
}

void FakeSerialControl::lookAgain(std::uint64_t generation) {
    m_clock.callAt(m_clock.now() + 200, [this, generation] {
        if (generation == m_watchGeneration) {
            lookAgain(generation);
            checkForReturn();
        }
    });
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
    if (!existingPorts.contains(port) || busyPorts.contains(port) ||
        (refusesSettings && refusesSettings(settings))) {
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

bool FakeSerialControl::applyLineSettings(const LineSettings& settings) {
    return !refusesSettings || !refusesSettings(settings);
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

}  // namespace scale::test
