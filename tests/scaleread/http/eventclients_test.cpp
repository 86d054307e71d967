// The WebSocket clients' own thread, fed the way the service feeds it: what each client gets and
// in which order, and the watch on what a client sends from its first byte on.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "tools/scale-read/http/events/eventclients.h"
#include "tools/scale-read/http/events/framewatch.h"

namespace scaleread {
namespace {

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.hasExpired(5000)) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Upgrades every connection and hands the client over (wanting station 0 of two), each with a
// message posted just before and one just after.
class EventClientsTest : public ::testing::Test {
    static inline int s_argc = 1;
    static inline char s_name[] = "eventclients-test";
    static inline char* s_argv[] = {s_name, nullptr};
    QCoreApplication m_application{s_argc, s_argv};  // first made, last gone

protected:
    EventClientsTest() {
        EXPECT_TRUE(m_listener.listen(QHostAddress::LocalHost));
        QObject::connect(&m_listener, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
                m_watch = new FrameWatch(socket);
                m_upgrades.handleConnection(socket);
            }
        });
        QObject::connect(&m_upgrades, &QWebSocketServer::newConnection, [this] {
            while (QWebSocket* socket = m_upgrades.nextPendingConnection()) {
                const QString peer = QStringLiteral("%1:%2")
                                         .arg(socket->peerAddress().toString())
                                         .arg(socket->peerPort());
                clients.post(0, "just before");
                QObject::disconnect(m_watch->socket(), nullptr, &m_upgrades, nullptr);
                clients.join(std::unique_ptr<QWebSocket>(socket), m_watch, {true, false}, peer,
                             {QStringLiteral("hello"), QStringLiteral("state")});
                clients.post(0, "just after");
            }
        });
    }
    quint16 port() const { return m_listener.serverPort(); }
    // `client` connected and greeted: `got` holds its first three messages, and takes the rest.
    void greeted(QWebSocket& client, QStringList& got) {
        QObject::connect(&client, &QWebSocket::textMessageReceived,
                         [&got](const QString& message) { got.append(message); });
        client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port())));
        ASSERT_TRUE(waitFor([&] { return got.size() == 3; })) << got.join(',').toStdString();
    }

    QStringList notes;
    EventClients clients{[this](const QString& note) { notes.append(note); }};

private:
    QTcpServer m_listener;
    QWebSocketServer m_upgrades{QStringLiteral("test"), QWebSocketServer::NonSecureMode};
    FrameWatch* m_watch = nullptr;
};

TEST_F(EventClientsTest, AClientGetsItsGreetingThenWhatComesAfterForItsStationsInOrder) {
    QWebSocket client;
    QStringList got;
    ASSERT_NO_FATAL_FAILURE(greeted(client, got));
    const std::pair<std::size_t, const char*> posts[] = {
        {0, "one"}, {1, "other station"}, {0, "two"}};
    for (const auto& [station, message] : posts) {
        clients.post(station, message);
    }
    ASSERT_TRUE(waitFor([&] { return got.size() == 5; })) << got.join(',').toStdString();
    EXPECT_EQ(got.join(','), "hello,state,just after,one,two");
    EXPECT_EQ(clients.count(), 1u);

    client.close();
    EXPECT_TRUE(waitFor([&] { return clients.count() == 0; }));
}

// Framed once for all clients: every length form, and text that is not UTF-8 mended as Qt
// mends a QString, since a client must fail a connection on a text frame that is not UTF-8.
TEST_F(EventClientsTest, MessagesOfEveryLengthAndTextNotUtf8ArriveAsTextFrames) {
    QWebSocket client;
    QStringList got;
    ASSERT_NO_FATAL_FAILURE(greeted(client, got));
    const QByteArray posts[] = {QByteArray(125, 'a'), QByteArray(126, 'b'),
                                QByteArray(65535, 'c'), QByteArray(65536, 'd'),
                                "\xe7\xa7\xa4 kg \xff\xb0"};
    for (const QByteArray& message : posts) {
        clients.post(0, message);
    }
    ASSERT_TRUE(waitFor([&] { return got.size() == 8; })) << got.size();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(got[3 + i], QString::fromLatin1(posts[i])) << i;
    }
    EXPECT_EQ(got[7], QStringLiteral("\u79e4 kg \ufffd\ufffd"));
}

TEST_F(EventClientsTest, AnUnmaskedFrameAsSoonAsTheHandshakeIsAnsweredClosesTheClientWith1002) {
    QTcpSocket raw;
    QByteArray answer;
    QObject::connect(&raw, &QTcpSocket::readyRead, [&] { answer += raw.readAll(); });
    raw.connectToHost(QStringLiteral("127.0.0.1"), port());
    ASSERT_TRUE(waitFor([&] { return raw.state() == QAbstractSocket::ConnectedState; }));
    const quint16 own = raw.localPort();
    raw.write(
        QStringLiteral("GET / HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nUpgrade: websocket\r\n"
                       "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                       "Sec-WebSocket-Version: 13\r\n\r\n")
            .arg(port())
            .toLatin1());
    // Sent as soon as the handshake is answered: Qt may read it before the clients' thread has
    // taken the client in.
    ASSERT_TRUE(waitFor([&] { return answer.contains("\r\n\r\n"); }));
    raw.write("\x81\x05hello");
    ASSERT_TRUE(waitFor([&] { return answer.contains("\x88\x18\x03\xea"); }))
        << answer.toHex(' ').toStdString();
    EXPECT_TRUE(
        answer.endsWith("\x03\xea"
                        "sent an unmasked frame"));
    EXPECT_TRUE(waitFor([&] { return clients.count() == 0 && !notes.isEmpty(); }));
    EXPECT_EQ(notes.join('\n').toStdString(),
              "http: WebSocket client 127.0.0.1:" + std::to_string(own) +
                  " dropped: sent an unmasked frame");
}

}  // namespace
}  // namespace scaleread
