#include "device/network/networkline.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>

#include "device/systemreason.h"

namespace scale {
namespace {

struct Scheme {
    std::string_view prefix;
    NetworkKind kind;
};
constexpr Scheme kSchemes[] = {{"tcp://", NetworkKind::Tcp}, {"rfc2217://", NetworkKind::Rfc2217}};

// A dead peer is noticed within about 11 s of silence: idle 5 s, then 3 probes 2 s apart.
constexpr int kKeepIdleSeconds = 5;
constexpr int kKeepIntervalSeconds = 2;
constexpr int kKeepProbes = 3;

std::int64_t steadyMillis() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

void setOption(int fd, int level, int name, int value) {
    (void)::setsockopt(fd, level, name, &value, sizeof value);
}

}  // namespace

bool isNetworkLine(std::string_view text) {
    for (const Scheme& scheme : kSchemes) {
        if (text.starts_with(scheme.prefix)) {
            return true;
        }
    }
    return false;
}

std::optional<NetworkAddress> parseNetworkLine(std::string_view text, std::string* problem) {
    const auto refuse = [problem](const char* why) -> std::optional<NetworkAddress> {
        if (problem) {
            *problem = why;
        }
        return std::nullopt;
    };
    NetworkAddress address;
    std::string_view rest;
    for (const Scheme& scheme : kSchemes) {
        if (text.starts_with(scheme.prefix)) {
            address.kind = scheme.kind;
            rest = text.substr(scheme.prefix.size());
        }
    }
    if (!isNetworkLine(text)) {
        return refuse("not tcp://HOST:PORT or rfc2217://HOST:PORT");
    }
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
        return refuse("the port is missing (HOST:PORT)");
    }
    std::string_view host = rest.substr(0, colon);
    const std::string_view port = rest.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        return refuse("an IPv6 address goes in brackets ([::1]:PORT)");
    }
    if (host.empty() || host.find_first_of("/[] ") != std::string_view::npos) {
        return refuse("the host is missing or not a name or address");
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < 1 ||
        value > 65535) {
        return refuse("the port is not a number from 1 to 65535");
    }
    address.host = std::string(host);
    address.port = static_cast<std::uint16_t>(value);
    return address;
}

NetworkConnect::~NetworkConnect() {
    cancel();
}

NetworkConnect::State NetworkConnect::fail(int error) {
    cancel();
    m_error = error;
    m_state = State::Failed;
    return m_state;
}

NetworkConnect::State NetworkConnect::start(const NetworkAddress& address) {
    cancel();
    m_error = 0;
    m_lookupFailure.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int lookup = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (lookup != 0 || found == nullptr) {
        m_lookupFailure = std::string("cannot find the host ") + address.host + ": " +
                          (lookup == EAI_SYSTEM ? systemReasonText(errno) : ::gai_strerror(lookup));
        return fail(-1);
    }
    // The first address the host has; a device server has one.
    m_fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                    found->ai_protocol);
    if (m_fd < 0) {
        const int error = errno;
        ::freeaddrinfo(found);
        return fail(error);
    }
    const int connected = ::connect(m_fd, found->ai_addr, found->ai_addrlen);
    const int error = errno;
    ::freeaddrinfo(found);
    if (connected != 0 && error != EINPROGRESS) {
        return fail(error);
    }
    m_startedMillis = steadyMillis();
    m_state = connected == 0 ? State::Connected : State::Pending;
    return m_state;
}

NetworkConnect::State NetworkConnect::advance(int waitMillis, int timeoutMillis) {
    if (m_state != State::Pending) {
        return m_state;
    }
    pollfd watched{m_fd, POLLOUT, 0};
    const int ready = ::poll(&watched, 1, waitMillis);
    if (ready < 0 && errno != EINTR) {
        return fail(errno);
    }
    if (ready <= 0) {
        return steadyMillis() - m_startedMillis >= timeoutMillis ? fail(ETIMEDOUT) : m_state;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return fail(errno);
    }
    if (error != 0) {
        return fail(error);
    }
    m_state = State::Connected;
    return m_state;
}

int NetworkConnect::take() {
    if (m_state != State::Connected) {
        return -1;
    }
    const int fd = m_fd;
    m_fd = -1;
    m_state = State::Idle;
    // A device server that was switched off never says so: keepalive finds out.
    setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds);
    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds);
    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepProbes);
    // Requests are a few bytes each and must leave at once.
    setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    return fd;
}

void NetworkConnect::cancel() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_state = State::Idle;
}

int connectNetworkLine(const NetworkAddress& address, int timeoutMillis, NetworkConnect& connect) {
    connect.start(address);
    while (connect.state() == NetworkConnect::State::Pending) {
        connect.advance(timeoutMillis, timeoutMillis);
    }
    return connect.take();
}

std::string networkFailureText(const NetworkConnect& connect) {
    if (connect.error() == -1) {
        return connect.lookupFailure();
    }
    return systemReasonText(connect.error());
}

}  // namespace scale
