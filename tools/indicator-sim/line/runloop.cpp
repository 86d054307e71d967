#include "tools/indicator-sim/line/runloop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/line/pty/ptyreceiver.h"

namespace indicatorsim {
namespace {

// How long a finished run waits for the other side to take its last write.
constexpr Micros kLastWriteWait = 1'000'000;
constexpr Micros kLastWritePoll = 10'000;

void printEvent(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
}

timespec timeoutOf(Micros wait) {
    wait = std::max<Micros>(0, wait);
    return {static_cast<time_t>(wait / 1'000'000), static_cast<long>(wait % 1'000'000) * 1000};
}

}  // namespace

RunEnd runLine(Line& line, LineDriver& driver, std::optional<PlannedEnd> end, int signalFd,
               bool verbose, const LineModel* lineModel) {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [start] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    const auto perform = [&](Micros now, const std::vector<SimOutput>& outputs) {
        for (const SimOutput& output : outputs) {
            if (output.bytes.empty()) {
                if (verbose) {
                    printEvent(output.line);
                }
            } else if (lineModel) {
                const ReceiverSettings receiver = readReceiverSettings(line.fd());
                const std::vector<std::uint8_t> delivered =
                    lineModel->deliver(output.bytes, receiver);
                if (!delivered.empty()) {
                    line.send(delivered);
                }
                if (verbose) {
                    printEvent(output.line);
                    printEvent(deliveredLine(now, receiverText(receiver), delivered));
                }
            } else {
                line.send(output.bytes);
                if (verbose) {
                    printEvent(output.line);
                }
            }
        }
    };
    pollfd watched[2] = {{line.fd(), POLLIN, 0}, {signalFd, POLLIN, 0}};

    for (;;) {
        if (end && elapsed() >= end->at) {
            return end->unplug ? RunEnd::Unplugged : RunEnd::Finished;
        }
        const Micros now = elapsed();
        perform(now, driver.due(now));
        if (driver.finished()) {
            break;
        }

        std::optional<Micros> wake = driver.nextDue();
        if (end) {
            wake = std::min(wake.value_or(end->at), end->at);
        }
        const timespec timeout = timeoutOf(wake.value_or(0) - elapsed());
        if (::ppoll(watched, 2, wake ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (watched[1].revents != 0) {
            return RunEnd::Signalled;
        }
        const short revents = watched[0].revents;
        if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            std::uint8_t buffer[512];
            const int before = line.fd();
            const std::size_t count = line.receive(buffer);
            if (count > 0) {
                const Micros at = elapsed();
                perform(at, driver.received(at, std::span(buffer, count)));
            } else if ((revents & POLLIN) == 0 && line.fd() == before) {
                throw std::system_error(EIO, std::generic_category(),
                                        "the line to " + line.devicePath() + " is gone");
            }
            // A line that serves clients in turn may have another descriptor now.
            watched[0].fd = line.fd();
        } else if ((revents & POLLNVAL) != 0) {
            throw std::system_error(EIO, std::generic_category(),
                                    "the line to " + line.devicePath() + " is gone");
        }
    }

    // Closing a pseudo-terminal discards what the other side has not read yet. The kernel hands
    // a write to the other side's queue a moment after it returns, so an empty queue counts only
    // after a first pause.
    const Micros waitUntil = elapsed() + kLastWriteWait;
    do {
        const timespec pause = timeoutOf(std::min(kLastWritePoll, waitUntil - elapsed()));
        if (::ppoll(&watched[1], 1, &pause, nullptr) > 0) {
            return RunEnd::Signalled;
        }
    } while (line.unsentBytes() > 0 && elapsed() < waitUntil);
    return RunEnd::Finished;
}

}  // namespace indicatorsim
