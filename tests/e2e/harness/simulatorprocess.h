#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <vector>

namespace scale::test {

// The indicator simulator as a child process with --verbose, its event lines collected as they
// come. Times are the simulator's own (milliseconds since its line came up).
class SimulatorProcess {
public:
    struct Event {
        double at = 0.0;
        QString kind;  // "tx", "rx" or "request"
        QString bytes;
        QString text;  // for tx: the readout the tool should show, "-" for a faulty write;
                       // for request: the format and the request, "sics SI", or "" for command
    };

    // Starts the simulator linked at `link`; waits for its "ready" line.
    bool start(const QString& link, const QStringList& arguments);
    // Starts it on the line `arguments` name (--tcp PORT); the device is the one "ready" named.
    bool startLine(const QStringList& arguments);
    const QString& device() const { return m_device; }
    // Ends it as a signal would.
    void stop() {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    ~SimulatorProcess();

    // Reads what the simulator printed so far.
    void collect();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    bool waitForExit(int milliseconds) {
        return !running() || m_process.waitForFinished(milliseconds);
    }
    // Pulls the cable now: the simulator closes its line and ends, as with --unplug-after, but
    // at a moment the test chose (a reader slow to start under load still saw the line).
    void unplug() { m_process.terminate(); }
    // Milliseconds on the simulator's clock, estimated from when "ready" arrived.
    double now() const { return static_cast<double>(m_sinceReady.nsecsElapsed()) / 1e6; }

    const std::vector<Event>& events() const { return m_events; }
    // The texts of intact frames sent so far.
    QStringList shownTexts() const;
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QByteArray m_pending;
    QElapsedTimer m_sinceReady;
    QString m_device;
    std::vector<Event> m_events;
};

}  // namespace scale::test
