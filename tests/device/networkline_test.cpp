// Lines over the network: the address text, the connection, and the Telnet COM-PORT session's
// bytes both ways.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "device/network/comportsession.h"
#include "device/network/networkline.h"

namespace scale {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (const int value : values) {
        text.push_back(static_cast<char>(value));
    }
    return text;
}

constexpr int IAC = 255, SB = 250, SE = 240, DO = 253, DONT = 254, COMPORT = 44;

TEST(NetworkLineTest, AddressesAreReadOrRefusedWithTheReason) {
    const auto tcp = parseNetworkLine("tcp://192.168.1.50:4001");
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->kind, NetworkKind::Tcp);
    EXPECT_EQ(tcp->host, "192.168.1.50");
    EXPECT_EQ(tcp->port, 4001);
    const auto v6 = parseNetworkLine("rfc2217://[::1]:2217");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->kind, NetworkKind::Rfc2217);
    EXPECT_EQ(v6->host, "::1");

    const std::pair<const char*, const char*> refused[] = {
        {"tcp://host", "the port is missing (HOST:PORT)"},
        {"tcp://host:0", "the port is not a number from 1 to 65535"},
        {"tcp://host:65536", "the port is not a number from 1 to 65535"},
        {"tcp://host:40x", "the port is not a number from 1 to 65535"},
        {"tcp://:4001", "the host is missing or not a name or address"},
        {"rfc2217://::1:2217", "an IPv6 address goes in brackets ([::1]:PORT)"},
        {"udp://host:1", "not tcp://HOST:PORT or rfc2217://HOST:PORT"},
    };
    for (const auto& [text, reason] : refused) {
        std::string problem;
        EXPECT_FALSE(parseNetworkLine(text, &problem)) << text;
        EXPECT_EQ(problem, reason) << text;
    }
}

TEST(NetworkLineTest, ConnectsToAListenerAndTellsARefusal) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const NetworkAddress there{NetworkKind::Tcp, "127.0.0.1", ntohs(address.sin_port)};

    NetworkConnect connect;
    const int fd = connectNetworkLine(there, 3000, connect);
    ASSERT_GE(fd, 0);
    int keepalive = 0;
    length = sizeof keepalive;
    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keepalive, &length);
    EXPECT_EQ(keepalive, 1);
    ::close(fd);

    // Nobody listens there any more.
    ::close(listener);
    EXPECT_LT(connectNetworkLine(there, 3000, connect), 0);
    EXPECT_EQ(connect.error(), ECONNREFUSED);
    EXPECT_EQ(networkFailureText(connect), "connection refused");
}

TEST(ComPortSessionTest, SettingsGoOutOnceTheServerAgreesAndItsAnswersAreKept) {
    ComPortSession session;
    session.outgoing().clear();  // the offers
    session.setLine({2400, Parity::Even, 7, StopBits::One});
    // Data passes before and whether or not the server ever answers; an IAC is doubled.
    session.send("S\xff", 2);
    EXPECT_EQ(session.outgoing(), bytes({'S', IAC, IAC}));
    session.outgoing().clear();

    std::string data;
    ASSERT_TRUE(session.received(bytes({IAC, DO, COMPORT}).data(), 3, data));
    EXPECT_EQ(session.outgoing(),
              bytes({IAC, SB, COMPORT, 1, 0, 0, 0x09, 0x60, IAC, SE,  // 2400 baud
                     IAC, SB, COMPORT, 2, 7, IAC, SE,                 // 7 data bits
                     IAC, SB, COMPORT, 3, 3, IAC, SE,                 // even parity
                     IAC, SB, COMPORT, 4, 1, IAC, SE}));              // 1 stop bit
    EXPECT_TRUE(session.agreed());

    // The server keeps 1200 baud instead; its data comes with an IAC undoubled, split anywhere.
    const std::string answer =
        bytes({IAC, SB, COMPORT, 101, 0, 0, 0x04, 0xB0, IAC, SE, 'W', IAC, IAC, '1'});
    ASSERT_TRUE(session.received(answer.data(), 7, data));
    ASSERT_TRUE(session.received(answer.data() + 7, answer.size() - 7, data));
    EXPECT_EQ(data, bytes({'W', IAC, '1'}));
    EXPECT_EQ(session.reported(), (LineSettings{1200, Parity::Even, 7, StopBits::One}));
}

TEST(ComPortSessionTest, AServerRefusingTheOptionLeavesTheLineCarryingBytes) {
    ComPortSession session;
    std::string data;
    ASSERT_TRUE(session.received(bytes({IAC, DONT, COMPORT, 'S', ' ', 'S'}).data(), 6, data));
    session.outgoing().clear();
    session.setLine({9600, Parity::None, 8, StopBits::One});
    EXPECT_FALSE(session.agreed());
    EXPECT_EQ(session.outgoing(), "");
    EXPECT_EQ(data, "S S");
}

}  // namespace
}  // namespace scale
