// scale-read over the network: a simulator on its own TCP port, the link dropped and back; a
// simulator's pseudo-terminal behind ser2net, its baud set through RFC 2217; and a station
// served as a SICS indicator, read back by scale-read and by a plain socket.
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

// A port free now, for a program that must be told one.
quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The answer to `request` from a served station at `port`.
QByteArray askServed(quint16 port, const QByteArray& request, int answerBytes) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000)) {
        return "not connected";
    }
    socket.write(request);
    QByteArray answer;
    LiveWindow::waitFor(
        [&] {
            socket.waitForReadyRead(50);
            answer += socket.readAll();
            return answer.size() >= answerBytes;
        },
        3000);
    return answer;
}

class NetworkTest : public ReaderFixture {
protected:
    // The weights of the text records so far, one a line ("12.34kg").
    static std::string weights(ReaderProcess& reader) {
        QStringList texts;
        for (const QString& line : reader.lines()) {
            texts << line.section(QStringLiteral("  "), 2, 2);
        }
        return joined(texts);
    }
};

TEST_F(NetworkTest, ATcpLinkDroppedIsRetriedAndReadAgain) {
    ASSERT_TRUE(sim.startLine({"--tcp", "0", "--weight", "fixed:1.5"}));
    const QString port = sim.device();
    ReaderProcess reader;
    ASSERT_TRUE(reader.start({"--port", port, "--format", "text"}));
    ASSERT_TRUE(reader.waitForLines(2, 5000));
    sim.stop();
    ASSERT_TRUE(reader.waitForErrorLine(
        QStringLiteral("scale-read: %1 is gone; waiting for it to come back").arg(port), 5000));
    SimulatorProcess again;
    ASSERT_TRUE(again.startLine({"--tcp", port.section(QLatin1Char(':'), -1), "--weight",
                                 "fixed:2.5"}));
    ASSERT_TRUE(reader.waitForErrorLine(
        QStringLiteral("scale-read: %1 is back; reading again").arg(port), 5000));
    ASSERT_TRUE(LiveWindow::waitFor(
        [&] { return weights(reader).ends_with("\n2.5kg"); }, 5000))
        << joined(reader.lines());
}

TEST_F(NetworkTest, Rfc2217SetsTheLineOfADeviceServer) {
    const QString ser2net = QStandardPaths::findExecutable(
        QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    ASSERT_FALSE(ser2net.isEmpty()) << "ser2net is missing (scripts/deps.sh installs it)";
    // The indicator's line at 2400 baud; ser2net opens it at 9600 unless told otherwise.
    ASSERT_TRUE(sim.start(link(), {"--line-model", "--settings", "2400,N,8,1", "--weight",
                                   "fixed:3.25"}));
    const quint16 port = freePort();
    QFile config(path(QStringLiteral("ser2net.yaml")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("connection: &scale\n"
                                "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                "  connector: serialdev,%2,9600n81,local\n")
                     .arg(port)
                     .arg(link())
                     .toUtf8());
    config.close();
    QProcess server;
    server.start(ser2net, {"-n", "-d", "-u", "-c", config.fileName(), "-P",
                           path(QStringLiteral("ser2net.pid"))});
    ASSERT_TRUE(LiveWindow::waitFor(
        [&] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(100);
        },
        5000));

    const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
    ReaderProcess raw;
    raw.run({"--port", "tcp://" + address, "--format", "text", "--duration", "1500"}, 10000);
    ReaderProcess remote;
    EXPECT_EQ(remote.run({"--port", "rfc2217://" + address, "--settings", "2400,N,8,1", "--format",
                          "text", "--count", "3"},
                         10000),
              0);
    server.kill();
    server.waitForFinished(3000);
    EXPECT_EQ(weights(raw), "") << "the server's 9600 baud garbles a 2400 baud line";
    EXPECT_EQ(weights(remote), "3.25kg\n3.25kg\n3.25kg");
}

TEST_F(NetworkTest, AStationServedAsSicsReadsTheSameAndNeverStale) {
    ASSERT_TRUE(sim.startLine({"--tcp", "0", "--weight", "fixed:12.34"}));
    ReaderProcess gateway;
    ASSERT_TRUE(gateway.start({"--port", sim.device(), "--serve", "sics://0", "--format", "text"}));
    static const QRegularExpression served(
        QStringLiteral("^scale-read: serving the port as sics on tcp://127.0.0.1:(\\d+)$"));
    quint16 port = 0;
    ASSERT_TRUE(LiveWindow::waitFor(
        [&] {
            for (const QString& line : gateway.errorLines()) {
                if (const auto match = served.match(line); match.hasMatch()) {
                    port = static_cast<quint16>(match.captured(1).toUInt());
                }
            }
            // Served as "S S" only once the gateway holds the weight stable.
            return port != 0 && gateway.lines().size() >= 2 &&
                   gateway.lines().back().endsWith(QStringLiteral("stable"));
        },
        5000));

    ReaderProcess asker;
    EXPECT_EQ(asker.run({"--port", QStringLiteral("tcp://127.0.0.1:%1").arg(port), "--protocol",
                         "sics", "--format", "text", "--count", "3"},
                        10000),
              0);
    EXPECT_EQ(weights(asker), "12.34kg\n12.34kg\n12.34kg");
    EXPECT_TRUE(weights(gateway).starts_with("12.34kg\n12.34kg"));

    // A plain client; commands refused in SICS's words without --allow-commands.
    EXPECT_EQ(askServed(port, "SI\r\nZ\r\nT\r\nXY\r\n", 30),
              QByteArray("S S      12.34 kg\r\nZ I\r\nT I\r\nES\r\n"));
    // The indicator gone: no weight, within the 2 s a weight stays fresh.
    sim.stop();
    ASSERT_TRUE(gateway.waitForErrorLine(
        QStringLiteral("scale-read: %1 is gone; waiting for it to come back").arg(sim.device()),
        5000));
    EXPECT_EQ(askServed(port, "SI\r\n", 5), QByteArray("S I\r\n"));
}

}  // namespace
}  // namespace scale::test
