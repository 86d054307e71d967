#include "tools/indicator-sim/line/tcp/tcpline.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace indicatorsim {

TcpLine::TcpLine(const TcpPlace& place) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, place.address.c_str(), &address.sin_addr);
    address.sin_port = htons(place.port);
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listener < 0) {
        failWithErrno("socket");
    }
    const int on = 1;
    (void)::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0) {
        const int bindError = errno;
        ::close(m_listener);
        errno = bindError;
        failWithErrno("cannot listen on " + place.address + ":" + std::to_string(place.port));
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_address = "tcp://" + place.address + ":" + std::to_string(ntohs(address.sin_port));
}

TcpLine::~TcpLine() {
    dropClient();
    ::close(m_listener);
}

void TcpLine::dropClient() {
    if (m_client >= 0) {
        ::close(m_client);
        m_client = -1;
    }
}

std::size_t TcpLine::receive(std::span<std::uint8_t> into) {
    if (m_client < 0) {
        m_client = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (m_client >= 0) {
            const int on = 1;
            (void)::setsockopt(m_client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        return 0;
    }
    const ssize_t count = ::read(m_client, into.data(), into.size());
    if (count > 0) {
        return static_cast<std::size_t>(count);
    }
    if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        dropClient();  // the client left: the port waits for the next
    }
    return 0;
}

void TcpLine::send(std::span<const std::uint8_t> bytes) {
    while (m_client >= 0 && !bytes.empty()) {
        const ssize_t sent = ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EAGAIN) {
            pollfd watched{m_client, POLLOUT, 0};
            (void)::poll(&watched, 1, 100);
        } else if (!(sent < 0 && errno == EINTR)) {
            dropClient();
        }
    }
}

std::size_t TcpLine::unsentBytes() const {
    int count = 0;
    if (m_client < 0 || ::ioctl(m_client, SIOCOUTQ, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

}  // namespace indicatorsim
