#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "protocols/formats/indicatorreading.h"
#include "tools/indicator-sim/formats/protocolframes.h"

namespace indicatorsim {

// Weights below are whole units of the last decimal place: 12.345 with 3 decimals is 12345.

// The same reading in every frame.
struct FixedWeight {
    scale::IndicatorReading reading;
};

// from, from + step, ... towards `to` (downwards when to < from), then from again.
struct RampWeight {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int64_t step = 1;  // above 0; the direction comes from `from` and `to`
    int decimals = 0;
};

// A seeded random walk between -lowest and highest.
struct WalkWeight {
    std::uint64_t seed = 0;
    std::int64_t highest = 0;
    std::int64_t lowest = 0;  // the magnitude of the most negative value; 0 keeps it positive
    int decimals = 0;
};

using WeightPlan = std::variant<FixedWeight, RampWeight, WalkWeight>;

// Reads the --weight text (fixed:VALUE, ramp:FROM:TO:STEP or walk:SEED[:MAX]) with the --decimals
// choice and checks that every weight it can produce fits the protocol's frame. Throws UsageError.
WeightPlan planWeight(std::string_view weightText, std::optional<int> decimals, Protocol protocol,
                      const SpokenFormat* format = nullptr);

// The largest magnitude, in units, that the protocol carries with this sign and these decimals;
// -1 when not even zero fits (ShenTong, negative, four decimals).
std::int64_t largestFitting(Protocol protocol, int decimals, bool negative,
                            const SpokenFormat* format = nullptr);

// Signed units as the indicator's reading (0 is never negative).
scale::IndicatorReading readingOf(std::int64_t units, int decimals);

}  // namespace indicatorsim
