#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace scale::test {

// A mosquitto broker of the test's own on 127.0.0.1 and a free port, with a config file and a
// persistence folder in a temporary folder, so that it can be stopped and started again with its
// sessions and retained messages.
class BrokerProcess {
public:
    BrokerProcess();
    ~BrokerProcess();

    // Replaces the one anonymous listener with `settings` (listeners and what goes with them).
    void configure(const QString& settings);
    // The temporary folder, which the broker's own user can read.
    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    static int freePort();

    // Starts the broker and waits until it takes connections.
    bool start();
    // Ends it as a plant's broker ends: SIGTERM, saving its sessions.
    void stop();
    int port() const { return m_port; }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port); }
    QString log();

private:
    QTemporaryDir m_folder;
    int m_port = 0;
    QProcess m_process;
    QByteArray m_log;
};

}  // namespace scale::test
