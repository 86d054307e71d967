#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// Something to do now: bytes to write (none for a received-bytes event) and the event's line.
struct SimOutput {
    std::vector<std::uint8_t> bytes;
    std::string line;
};

// What talks on the line, without a line or a clock: the simulated indicator, or a recording
// played back. The loop reports the time and what arrived, and writes what comes back, in order.
class LineDriver {
public:
    virtual ~LineDriver() = default;

    // When due() next has something to send; nullopt while it only waits for requests.
    virtual std::optional<Micros> nextDue() const = 0;

    // The writes due by `now`.
    virtual std::vector<SimOutput> due(Micros now) = 0;

    // Bytes read from the line at `now`: their event lines, and whatever they cause.
    virtual std::vector<SimOutput> received(Micros now, std::span<const std::uint8_t> bytes) = 0;

    // True once there is nothing more to send, ever: the run is over.
    virtual bool finished() const { return false; }
};

}  // namespace indicatorsim
