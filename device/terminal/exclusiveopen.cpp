#include "device/terminal/exclusiveopen.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "device/terminal/terminalspeed.h"

namespace scale {
namespace {

OpenRefusal refusalFor(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return OpenRefusal::NoSuchDevice;
        case EACCES:
        case EPERM:
            return OpenRefusal::PermissionDenied;
        case EBUSY:  // another holder's exclusive mode
        case EWOULDBLOCK:
            return OpenRefusal::InUse;
        case ENOTTY:
            return OpenRefusal::NotSerial;
        default:
            return OpenRefusal::Other;
    }
}

ExclusiveOpen refusedAfter(int fd, OpenStep step) {
    const int error = errno;
    ::close(fd);
    return {-1, refusalFor(error), error, step};
}

}  // namespace

ExclusiveOpen openExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return {-1, refusalFor(error), error, OpenStep::Open};
    }
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0) {
        return refusedAfter(fd, OpenStep::Terminal);
    }
    // The lock sits on the device node, which every link to it reaches; it also holds against
    // root, whom exclusive mode lets through.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refusedAfter(fd, OpenStep::Lock);
    }
    if (!isPseudoTerminal(fd) && ::ioctl(fd, TIOCEXCL) != 0) {
        return refusedAfter(fd, OpenStep::Exclusive);
    }
    return {fd, OpenRefusal::None, 0, OpenStep::Open};
}

void closeExclusive(int fd) {
    if (fd < 0) {
        return;
    }
    if (!isPseudoTerminal(fd)) {
        ::ioctl(fd, TIOCNXCL);
    }
    ::close(fd);
}

}  // namespace scale
