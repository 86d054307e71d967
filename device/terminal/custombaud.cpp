#include "device/terminal/custombaud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace scale {

bool setCustomBaud(int fd, long baud) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return false;
    }
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baud);
    settings.c_ospeed = static_cast<speed_t>(baud);
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

std::optional<TerminalFlags> terminalFlags(int fd) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return std::nullopt;
    }
    return TerminalFlags{settings.c_iflag, settings.c_cflag, settings.c_ispeed, settings.c_ospeed};
}

}  // namespace scale
