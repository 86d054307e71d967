#include "tools/indicator-sim/line/device/deviceline.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "device/terminal/exclusiveopen.h"
#include "device/terminal/terminalline.h"
#include "device/terminal/terminalspeed.h"

namespace indicatorsim {
namespace {

[[noreturn]] void fail(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

[[noreturn]] void fail(const std::string& what) {
    fail(errno, what);
}

// Why `path` did not open, in the simulator's words.
[[noreturn]] void refuse(const scale::ExclusiveOpen& opened, const std::string& path) {
    using scale::OpenStep;
    if (opened.failedAt == OpenStep::Terminal) {
        throw std::runtime_error(path + " is not a serial device");
    }
    if (opened.refusal == scale::OpenRefusal::InUse && opened.failedAt != OpenStep::Exclusive) {
        throw std::runtime_error(path + " is in use by another program");
    }
    switch (opened.failedAt) {
        case OpenStep::Lock:
            fail(opened.error, "cannot lock " + path);
        case OpenStep::Exclusive:
            fail(opened.error, "cannot hold " + path + " exclusively");
        case OpenStep::Open:
        case OpenStep::Terminal:
            break;
    }
    fail(opened.error, "cannot open " + path);
}

}  // namespace

DeviceLine::DeviceLine(std::string path, const SerialSettings& settings) : m_path(std::move(path)) {
    // The only user of the device, whatever name reaches it, until this process ends in any way;
    // no lock file is left behind.
    const scale::ExclusiveOpen opened = scale::openExclusive(m_path);
    if (opened.fd < 0) {
        refuse(opened, m_path);
    }
    m_fd = opened.fd;
    try {
        switch (scale::setTerminalLine(m_fd, settings)) {
            case scale::LineSetup::Done:
                break;
            case scale::LineSetup::FramingRefused:
                // A pseudo-terminal carries bytes whole and keeps no framing: nothing is lost.
                if (scale::isPseudoTerminal(m_fd)) {
                    break;
                }
                fail("cannot set up " + m_path);
            case scale::LineSetup::Refused:
                fail("cannot set up " + m_path);
            case scale::LineSetup::BaudRefused:
                fail("cannot set " + std::to_string(settings.baud) + " baud on " + m_path);
        }
        scale::discardQueued(m_fd, scale::TerminalQueue::Both);
    } catch (...) {
        scale::closeExclusive(m_fd);
        throw;
    }
}

DeviceLine::~DeviceLine() {
    scale::closeExclusive(m_fd);
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
    return scale::unsentBytes(m_fd);
}

}  // namespace indicatorsim
