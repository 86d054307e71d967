#include "app/terminalline.h"

#include <cstddef>
#include <optional>

#include "app/custombaud.h"
#include "app/terminalspeed.h"

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

}  // namespace

bool setTerminalLine(int fd, const LineSettings& settings) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        return false;
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
    if (::tcsetattr(fd, TCSANOW, &line) != 0 || (!speed && !setCustomBaud(fd, settings.baud))) {
        return false;
    }
    return changeControl(fd, CSIZE, bitsFor(kSizes, &SizeBits::dataBits, settings.dataBits)) &&
           changeControl(fd, kParityMask,
                         bitsFor(kParities, &ParityBits::parity, settings.parity)) &&
           changeControl(fd, CSTOPB, settings.stopBits == StopBits::Two ? CSTOPB : 0);
}

LineSettings terminalLine(const termios& attributes, const LineSettings& asSet) {
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

}  // namespace scale
