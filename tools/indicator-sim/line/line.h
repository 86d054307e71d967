#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace indicatorsim {

// The open line the simulator talks on. Failures are std::system_error.
class Line {
public:
    virtual ~Line() = default;

    // Non-blocking, for poll: readable when the other side has sent something.
    virtual int fd() const = 0;

    // The device the other side opens, for the "ready" line.
    virtual std::string devicePath() const = 0;

    // Writes all of `bytes`, waiting for the line if it is busy.
    virtual void send(std::span<const std::uint8_t> bytes) = 0;

    // Reads what the other side sent into `into`: how many bytes, 0 when none came after all
    // (a line that serves clients in turn may have taken or lost one). Throws when the line is
    // gone. By default a read of fd().
    virtual std::size_t receive(std::span<std::uint8_t> into);

    // How many written bytes the other side has not taken yet (a pseudo-terminal) or the device
    // has not sent yet, so that a run can let its last write arrive before it closes the line.
    virtual std::size_t unsentBytes() const = 0;
};

// Throws the system's reason for the call that just failed, after `what`.
[[noreturn]] void failWithErrno(const std::string& what);

}  // namespace indicatorsim
