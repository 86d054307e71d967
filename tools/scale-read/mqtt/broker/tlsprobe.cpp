#include "tools/scale-read/mqtt/broker/tlsprobe.h"

#include <fcntl.h>
#include <netdb.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace scaleread {
namespace {

// A TCP connection to `address` within `timeoutMs`, blocking afterwards with that timeout on
// every read and write; -1 when none.
int connectWithin(const addrinfo& address, int timeoutMs) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            address.ai_protocol);
    if (fd < 0) {
        return -1;
    }
    bool connected = ::connect(fd, address.ai_addr, address.ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd wait{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::poll(&wait, 1, timeoutMs) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (!connected || ::fcntl(fd, F_SETFL, 0) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool answersTls(const std::string& host, int port, int timeoutMs) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return false;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    const int fd = connectWithin(*found, timeoutMs);
    if (fd < 0) {
        return false;
    }
    const std::unique_ptr<SSL_CTX, decltype(&::SSL_CTX_free)> context(
        ::SSL_CTX_new(::TLS_client_method()), &::SSL_CTX_free);
    bool answered = false;
    if (context) {
        const std::unique_ptr<SSL, decltype(&::SSL_free)> session(::SSL_new(context.get()),
                                                                  &::SSL_free);
        if (session && ::SSL_set_fd(session.get(), fd) == 1) {
            answered = ::SSL_connect(session.get()) == 1;
            if (answered) {
                (void)::SSL_shutdown(session.get());
            }
        }
    }
    ::close(fd);
    return answered;
}

}  // namespace scaleread
