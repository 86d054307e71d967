#include "device/terminal/terminalline.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstddef>
#include <optional>

#include "device/terminal/custombaud.h"
#include "device/terminal/terminalspeed.h"

namespace scale {
namespace {

struct ParityBits {
    Parity parity;
    tcflag_t bits;
};
// Mark and space: the parity bit is fixed, PARODD telling which.
constexpr ParityBits kParities[] = {
    {Parity::None, 0},
    {Parity::Even, PARENB},
    {Parity::Odd, PARENB | PARODD},
    {Parity::Mark, PARENB | PARODD | CMSPAR},
    {Parity::Space, PARENB | CMSPAR},
};
constexpr tcflag_t kParityMask = PARENB | PARODD | CMSPAR;

struct SizeBits {
    int dataBits;
    tcflag_t bits;
};
constexpr SizeBits kSizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};

// Changes the bits of `mask` to `bits`. Each setting goes in a call of its own: a device may refuse
// one it cannot do (a pseudo-terminal answers a request it keeps nothing of with EINVAL) while it
// takes the others.
bool changeControl(int fd, tcflag_t mask, tcflag_t bits) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        return false;
    }
    line.c_cflag = (line.c_cflag & ~mask) | bits;
    return ::tcsetattr(fd, TCSANOW, &line) == 0;
}

template <typename Entry, std::size_t N, typename Value>
tcflag_t bitsFor(const Entry (&table)[N], Value Entry::*key, Value value) {
    for (const Entry& entry : table) {
        if (entry.*key == value) {
            return entry.bits;
        }
    }
    return 0;
}

std::size_t queuedBytes(int fd, unsigned long request) {
    int count = 0;
    if (::ioctl(fd, request, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

}  // namespace

LineSetup setTerminalLine(int fd, const LineSettings& settings) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        return LineSetup::Refused;
    }
    ::cfmakeraw(&line);
    line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK);
    line.c_iflag |= IGNPAR;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    const std::optional<speed_t> speed = standardSpeed(settings.baud);
    if (speed) {
        ::cfsetspeed(&line, *speed);
    }
    if (::tcsetattr(fd, TCSANOW, &line) != 0) {
        return LineSetup::Refused;
    }
    if (!speed && !setCustomBaud(fd, settings.baud)) {
        return LineSetup::BaudRefused;
    }
    const bool set =
        changeControl(fd, CSIZE, bitsFor(kSizes, &SizeBits::dataBits, settings.dataBits)) &&
        changeControl(fd, kParityMask, bitsFor(kParities, &ParityBits::parity, settings.parity)) &&
        changeControl(fd, CSTOPB, settings.stopBits == StopBits::Two ? CSTOPB : 0);
    return set ? LineSetup::Done : LineSetup::FramingRefused;
}

std::optional<LineSettings> terminalLine(int fd, const LineSettings& asSet) {
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0) {
        return std::nullopt;
    }
    LineSettings settings = asSet;
    for (const SizeBits& size : kSizes) {
        if ((attributes.c_cflag & CSIZE) == size.bits) {
            settings.dataBits = size.dataBits;
        }
    }
    const tcflag_t parityBits =
        (attributes.c_cflag & PARENB) != 0 ? attributes.c_cflag & kParityMask : tcflag_t{0};
    for (const ParityBits& parity : kParities) {
        if (parityBits == parity.bits) {
            settings.parity = parity.parity;
        }
    }
    if (settings.stopBits != StopBits::OneAndHalf) {
        settings.stopBits = (attributes.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
    }
    return settings;
}

bool terminalGone(int fd) {
    termios attributes{};
    return ::tcgetattr(fd, &attributes) != 0 &&
           (errno == EIO || errno == ENXIO || errno == ENODEV || errno == EBADF);
}

bool setTerminalRaw(int fd) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        return false;
    }
    ::cfmakeraw(&line);
    return ::tcsetattr(fd, TCSANOW, &line) == 0;
}

void discardQueued(int fd, TerminalQueue which) {
    static constexpr int kQueues[] = {TCIFLUSH, TCOFLUSH, TCIOFLUSH};
    ::tcflush(fd, kQueues[static_cast<int>(which)]);
}

std::size_t unsentBytes(int fd) {
    return queuedBytes(fd, TIOCOUTQ);
}

std::size_t unreadBytes(int fd) {
    return queuedBytes(fd, TIOCINQ);
}

}  // namespace scale
