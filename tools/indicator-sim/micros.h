#pragma once

#include <cstdint>

namespace indicatorsim {

// Time since the line came up, in microseconds. The simulator's logic never reads a clock: the
// loop that drives it passes the current time in.
using Micros = std::int64_t;

constexpr Micros fromMillis(std::int64_t ms) {
    return ms * 1000;
}

}  // namespace indicatorsim
