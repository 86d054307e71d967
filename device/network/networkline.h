#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace scale {

// A serial line reached over the network: a device server's or an indicator's own TCP port
// carrying the line's bytes as they are, or a Telnet server with the COM-PORT option (RFC 2217),
// through which the line's settings are set remotely.
enum class NetworkKind { Tcp, Rfc2217 };

struct NetworkAddress {
    NetworkKind kind = NetworkKind::Tcp;
    std::string host;  // a name, an IPv4 address or an IPv6 one without its brackets
    std::uint16_t port = 0;
};

// Whether `text` names a network line at all ("tcp://" or "rfc2217://"), right or wrong.
bool isNetworkLine(std::string_view text);

// "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (an IPv6 host in brackets); port 1 to 65535.
// Nullopt for anything else; `problem`, when given, then says what is wrong.
std::optional<NetworkAddress> parseNetworkLine(std::string_view text,
                                               std::string* problem = nullptr);

// A connection under way. Each step returns at once, so a line that is down is retried without
// holding up anything else on the thread.
class NetworkConnect {
public:
    NetworkConnect() = default;
    ~NetworkConnect();
    NetworkConnect(const NetworkConnect&) = delete;
    NetworkConnect& operator=(const NetworkConnect&) = delete;

    enum class State { Idle, Pending, Connected, Failed };

    // Looks the host up and starts connecting; a lookup that fails fails at once.
    State start(const NetworkAddress& address);
    // Where the connection stands after waiting up to `waitMillis` for it; a pending one older
    // than `timeoutMillis` fails with ETIMEDOUT.
    State advance(int waitMillis, int timeoutMillis);
    // The connected socket, non-blocking, with keepalive and no delay; the caller owns it from
    // now on. -1 unless Connected.
    int take();
    void cancel();
    State state() const { return m_state; }
    // Why it failed: errno, or -1 for a host that was not found (`lookupFailure` then says why).
    int error() const { return m_error; }
    const std::string& lookupFailure() const { return m_lookupFailure; }

private:
    State fail(int error);

    State m_state = State::Idle;
    int m_fd = -1;
    int m_error = 0;
    std::string m_lookupFailure;
    std::int64_t m_startedMillis = 0;
};

// Connects at once, waiting at most `timeoutMillis`: the socket, or -1 with `connect` telling why.
int connectNetworkLine(const NetworkAddress& address, int timeoutMillis, NetworkConnect& connect);

// The reason a connection failed, lower-cased to end a message.
std::string networkFailureText(const NetworkConnect& connect);

}  // namespace scale
