#include "tools/indicator-sim/runloop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace indicatorsim {

RunEnd runLine(Line& line, Simulator& simulator, std::optional<PlannedEnd> end, int signalFd,
               bool verbose) {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [start] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    const auto perform = [&](const std::vector<SimOutput>& outputs) {
        for (const SimOutput& output : outputs) {
            if (!output.bytes.empty()) {
                line.send(output.bytes);
            }
            if (verbose) {
                std::fputs(output.line.c_str(), stdout);
                std::fputc('\n', stdout);
            }
        }
    };

    for (;;) {
        if (end && elapsed() >= end->at) {
            return end->unplug ? RunEnd::Unplugged : RunEnd::Finished;
        }
        perform(simulator.due(elapsed()));

        std::optional<Micros> wake = simulator.nextDue();
        if (end) {
            wake = std::min(wake.value_or(end->at), end->at);
        }
        timespec timeout{};
        if (wake) {
            const Micros wait = std::max<Micros>(0, *wake - elapsed());
            timeout.tv_sec = static_cast<time_t>(wait / 1'000'000);
            timeout.tv_nsec = static_cast<long>(wait % 1'000'000) * 1000;
        }
        pollfd watched[2] = {{line.fd(), POLLIN, 0}, {signalFd, POLLIN, 0}};
        if (::ppoll(watched, 2, wake ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (watched[1].revents != 0) {
            return RunEnd::Signalled;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            std::uint8_t buffer[512];
            const ssize_t count = ::read(line.fd(), buffer, sizeof buffer);
            if (count > 0) {
                perform(simulator.received(elapsed(),
                                           std::span(buffer, static_cast<std::size_t>(count))));
            } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
                throw std::system_error(count == 0 ? EIO : errno, std::generic_category(),
                                        "the line to " + line.devicePath() + " is gone");
            }
        } else if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            throw std::system_error(EIO, std::generic_category(),
                                    "the line to " + line.devicePath() + " is gone");
        }
    }
}

}  // namespace indicatorsim
