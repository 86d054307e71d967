#pragma once

#include <charconv>
#include <cmath>

#include "fuzz/checks/fuzzcheck.h"
#include "protocols/stream/framestream.h"

namespace scale::fuzz {

// A decoded frame's number is a plain number, and the weight at the frame's decimals.
inline void requireNumberIsTheWeight(const StreamFrame& frame) {
    double number = 0;
    const char* end = frame.number.data() + frame.number.size();
    const auto parsed = std::from_chars(frame.number.data(), end, number);
    require(parsed.ec == std::errc{} && parsed.ptr == end, "the number is a plain number");
    require(std::fabs(number - frame.weight) <= 0.5 * std::pow(10.0, -frame.decimals) + 1e-9,
            "the number is the weight at its decimals");
}

}  // namespace scale::fuzz
