#include "brokerprocess.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include "tests/e2e/harness/livewindow.h"

namespace scale::test {
int BrokerProcess::freePort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

BrokerProcess::BrokerProcess() : m_port(freePort()) {
    // The broker drops root's rights to its own user, which must still write its database here.
    QFile::setPermissions(m_folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                               QFileDevice::WriteOther | QFileDevice::ExeOther);
    configure(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(m_port));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

void BrokerProcess::configure(const QString& settings) {
    QFile config(m_folder.filePath(QStringLiteral("mosquitto.conf")));
    if (config.open(QIODevice::WriteOnly)) {
        config.write((settings + QStringLiteral("persistence true\n"
                                                "persistence_location %1/\n"
                                                "log_dest stdout\n"))
                         .arg(m_folder.path())
                         .toUtf8());
    }
}

BrokerProcess::~BrokerProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool BrokerProcess::start() {
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (program.isEmpty() || m_port == 0) {
        return false;
    }
    m_process.start(program,
                    {QStringLiteral("-c"), m_folder.filePath(QStringLiteral("mosquitto.conf"))});
    if (!m_process.waitForStarted(5000)) {
        return false;
    }
    return LiveWindow::waitFor(
        [this] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_port));
            return socket.waitForConnected(200);
        },
        5000);
}

void BrokerProcess::stop() {
    m_process.terminate();
    m_process.waitForFinished(5000);
    m_log += m_process.readAll();
}

QString BrokerProcess::log() {
    m_log += m_process.readAll();
    return QString::fromUtf8(m_log);
}

}  // namespace scale::test
