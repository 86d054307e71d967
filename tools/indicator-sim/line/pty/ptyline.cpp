#include "tools/indicator-sim/line/pty/ptyline.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "device/terminal/terminalline.h"

namespace indicatorsim {
namespace {

void placeLink(const std::string& linkPath, const std::string& target) {
    namespace fs = std::filesystem;
    const fs::path link(linkPath);
    std::error_code failure;
    const fs::file_status status = fs::symlink_status(link, failure);
    if (failure && failure != std::errc::no_such_file_or_directory) {
        throw std::system_error(failure, "cannot reach " + linkPath);
    }
    if (fs::exists(status) && !fs::is_symlink(status)) {
        throw std::runtime_error(linkPath + " exists and is not a symbolic link; not replacing it");
    }
    if (link.has_parent_path()) {
        fs::create_directories(link.parent_path(), failure);
        if (failure) {
            throw std::system_error(failure, "cannot make the folder " +
                                                 link.parent_path().string() + " for " + linkPath);
        }
    }
    // Made under a temporary name and renamed over the old link, so that the path never goes
    // missing for a tool that is watching it.
    const std::string temporary = linkPath + ".tmp" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        failWithErrno("cannot create link " + linkPath);
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        failWithErrno("cannot create link " + linkPath);
    }
}

}  // namespace

PtyLine::PtyLine(std::string linkPath) : m_linkPath(std::move(linkPath)) {
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        failWithErrno("cannot create a pseudo-terminal");
    }
    m_slavePath = name;
    try {
        if (!scale::setTerminalRaw(m_slave)) {
            failWithErrno("cannot set raw mode on " + m_slavePath);
        }
        const int flags = ::fcntl(m_master, F_GETFL);
        if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
            failWithErrno("cannot make the pseudo-terminal non-blocking");
        }
        placeLink(m_linkPath, m_slavePath);
    } catch (...) {
        ::close(m_slave);
        ::close(m_master);
        throw;
    }
}

PtyLine::~PtyLine() {
    // Only our own link goes: another run may have taken the path over meanwhile.
    std::error_code error;
    if (std::filesystem::read_symlink(m_linkPath, error) == m_slavePath) {
        ::unlink(m_linkPath.c_str());
    }
    ::close(m_slave);
    ::close(m_master);
}

void PtyLine::send(std::span<const std::uint8_t> bytes) {
    bool flushed = false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_master, bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN && !flushed) {
            // Nobody reads the slave side, and its buffer is full. A real line would have lost
            // those bytes long ago; drop them so the tool gets fresh frames when it opens it.
            scale::discardQueued(m_slave, scale::TerminalQueue::Received);
            flushed = true;
        } else {
            failWithErrno("cannot write to " + m_slavePath);
        }
    }
}

std::size_t PtyLine::unsentBytes() const {
    return scale::unreadBytes(m_slave);
}

}  // namespace indicatorsim
