#include "tools/indicator-sim/deviceline.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "app/custombaud.h"
#include "app/terminalspeed.h"

namespace indicatorsim {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

tcflag_t characterSize(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

}  // namespace

DeviceLine::DeviceLine(std::string path, const SerialSettings& settings) : m_path(std::move(path)) {
    m_fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0 && errno == EBUSY) {
        throw std::runtime_error(m_path + " is in use by another program");
    }
    if (m_fd < 0) {
        fail("cannot open " + m_path);
    }
    try {
        termios line{};
        if (::tcgetattr(m_fd, &line) != 0) {
            throw std::runtime_error(m_path + " is not a serial device");
        }
        // The only user of the device, whatever name reaches it, until this process ends in
        // any way; no lock file is left behind.
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {
                fail("cannot lock " + m_path);
            }
            throw std::runtime_error(m_path + " is in use by another program");
        }
        // Not on a pseudo-terminal, where only the lock, which the kernel drops with its
        // holder, is used.
        if (!scale::isPseudoTerminal(m_fd) && ::ioctl(m_fd, TIOCEXCL) != 0) {
            fail("cannot hold " + m_path + " exclusively");
        }
        ::cfmakeraw(&line);
        line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        line.c_cflag |= CLOCAL | CREAD | characterSize(settings.dataBits);
        if (settings.parity != Parity::None) {
            line.c_cflag |= PARENB;
            if (settings.parity == Parity::Odd) {
                line.c_cflag |= PARODD;
            }
        }
        if (settings.stopBits == 2) {
            line.c_cflag |= CSTOPB;
        }
        line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        line.c_cc[VMIN] = 0;
        line.c_cc[VTIME] = 0;
        const std::optional<speed_t> speed = scale::standardSpeed(settings.baud);
        if (speed) {
            ::cfsetspeed(&line, *speed);
        }
        if (::tcsetattr(m_fd, TCSANOW, &line) != 0) {
            fail("cannot set up " + m_path);
        }
        if (!speed && !scale::setCustomBaud(m_fd, settings.baud)) {
            fail("cannot set " + std::to_string(settings.baud) + " baud on " + m_path);
        }
        ::tcflush(m_fd, TCIOFLUSH);
    } catch (...) {
        ::close(m_fd);
        throw;
    }
}

DeviceLine::~DeviceLine() {
    if (!scale::isPseudoTerminal(m_fd)) {
        ::ioctl(m_fd, TIOCNXCL);
    }
    ::close(m_fd);
}

void DeviceLine::send(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno == EAGAIN) {
            // The driver's buffer is full: the line is slower than we are. Wait for room, but not
            // for ever: a device that takes nothing for seconds has gone.
            pollfd room{m_fd, POLLOUT, 0};
            if (::poll(&room, 1, 5000) > 0 && (room.revents & POLLOUT) != 0) {
                continue;
            }
            errno = EIO;
        }
        fail("cannot write to " + m_path);
    }
}

std::size_t DeviceLine::unsentBytes() const {
    int count = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

}  // namespace indicatorsim
