#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace indicatorsim {

// A number as typed, kept exact: "-12.345" is negative, 12345 units, 3 decimals. The sign is kept
// apart so that "-0.000" stays negative, as an indicator may send it.
struct DecimalValue {
    bool negative = false;
    std::uint64_t units = 0;
    int decimals = 0;
};

// Reads [+|-]digits[.digits] and nothing else; at most 15 digits in all. No locale: the point is
// always a full stop.
std::optional<DecimalValue> parseDecimal(std::string_view text);

// The same number with `decimals` digits after the point, rounded half away from zero.
DecimalValue withDecimals(DecimalValue value, int decimals);

// Units as a signed number (-0 becomes 0).
std::int64_t signedUnits(const DecimalValue& value);

}  // namespace indicatorsim
