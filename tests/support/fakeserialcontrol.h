#pragma once

#include <QByteArray>
#include <functional>
#include <set>
#include <vector>

#include "app/serial/serialcontrol.h"
#include "support/manualclock.h"

namespace scale::test {

// The serial control over an imaginary device: the test feeds received bytes, reads what was
// written, and decides which ports exist. Receive events are posted on the manual clock like
// a real control posts them on the event loop.
class FakeSerialControl : public SerialControl {
public:
    explicit FakeSerialControl(ManualClock& clock) : m_clock(clock) {}

    // The host side.
    std::set<int> existingPorts = {1, 2, 3};
    std::set<int> busyPorts;  // held by another program
    int opens = 0;
    int closes = 0;  // closes of a port that was open
    std::vector<int> openedPorts;
    std::vector<LineSettings> openedSettings;
    std::vector<QByteArray> writes;
    bool refuseWrites = false;
    // Line settings the device refuses, as a host refuses what its driver cannot do.
    std::function<bool(const LineSettings&)> refusesSettings;
    // Runs when the input buffer is discarded (an arming step), to look at the state then.
    std::function<void()> onDiscardInput;
    // Runs for every write: an indicator on the other end.
    std::function<void(const QByteArray&)> onWrite;

    // Bytes arriving from the indicator (dropped while the port is closed).
    void feed(const QByteArray& bytes);
    // The adapter disappears: the port closes and is watched, as a real one on a hang-up.
    void unplug();
    // The adapter is back; the watch finds it at its next look.
    void replug() { existingPorts.insert(CommPort()); }
    QByteArray waiting() const { return m_rx; }

    QString deviceName(int port) const override;
    QStringList deviceNames() const override;

protected:
    bool openDevice(int port, const LineSettings& settings) override;
    void closeDevice() override;
    bool deviceIsOpen() const override { return m_open; }
    bool applyLineSettings(const LineSettings& settings) override;
    qint64 bytesWaiting() const override { return m_rx.size(); }
    qint64 bytesToSend() const override { return 0; }
    QByteArray readBytes(qint64 maxLength) override;
    bool writeBytes(const QByteArray& bytes) override;
    void discardInput() override;
    void discardOutput() override {}
    void post(std::function<void()> action) override { m_clock.post(std::move(action)); }
    bool devicePresent(int port) const override { return existingPorts.contains(port); }
    void startWatch() override;
    void stopWatch() override { ++m_watchGeneration; }

private:
    void lookAgain(std::uint64_t generation);

    ManualClock& m_clock;
    bool m_open = false;
    std::uint64_t m_watchGeneration = 0;
    QByteArray m_rx;
};

}  // namespace scale::test
