#include "tools/indicator-sim/line/line.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace indicatorsim {

void failWithErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::size_t Line::receive(std::span<std::uint8_t> into) {
    const ssize_t count = ::read(fd(), into.data(), into.size());
    if (count > 0) {
        return static_cast<std::size_t>(count);
    }
    if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        throw std::system_error(count == 0 ? EIO : errno, std::generic_category(),
                                "the line to " + devicePath() + " is gone");
    }
    return 0;
}

}  // namespace indicatorsim
